// Finds an automaton's state by its core's 32-bit key while the automaton is being built:
// open addressing in a power-of-two table that doubles when half full. Building looks a key
// up for every state and byte class, so this is kept to a multiplication and a probe or two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace gridmint {

class StateIndex {
  public:
    using State = std::uint16_t;

    std::optional<State> find(std::uint32_t key) const {
        for (size_t slot = slotOf(key);; slot = (slot + 1) & mask()) {
            const Slot& s = slots_[slot];
            if (!s.used) return std::nullopt;
            if (s.key == key) return s.state;
        }
    }

    // `key` must not be in the index yet.
    void insert(std::uint32_t key, State state) {
        if (2 * (count_ + 1) > slots_.size()) grow();
        place(key, state);
        ++count_;
    }

  private:
    struct Slot {
        std::uint32_t key = 0;
        State state = 0;
        bool used = false;
    };

    size_t mask() const { return slots_.size() - 1; }

    // Fibonacci hashing: the top bits of the product spread keys that differ in any bit.
    size_t slotOf(std::uint32_t key) const {
        return static_cast<size_t>((key * std::uint64_t{0x9E3779B97F4A7C15}) >> 32) & mask();
    }

    void place(std::uint32_t key, State state) {
        size_t slot = slotOf(key);
        while (slots_[slot].used) slot = (slot + 1) & mask();
        slots_[slot] = {key, state, true};
    }

    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& s : old) {
            if (s.used) place(s.key, s.state);
        }
    }

    std::vector<Slot> slots_ = std::vector<Slot>(1024);
    size_t count_ = 0;
};

}  // namespace gridmint
