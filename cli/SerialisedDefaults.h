// Settings that several threads may read at once: each read of the wrapped store is made
// under one lock, since a store such as the user's settings file is not safe to read from
// two threads. Reads are a few per page, so the lock costs nothing that shows.
#pragma once

#include <mutex>

#include "Defaults.h"

namespace gridmint::cli {

class SerialisedDefaults : public Defaults {
  public:
    explicit SerialisedDefaults(const Defaults& base) : base_(base) {}

    long integerForKey(std::string_view key) const override {
        std::lock_guard lock(mutex_);
        return base_.integerForKey(key);
    }
    bool boolForKey(std::string_view key) const override {
        std::lock_guard lock(mutex_);
        return base_.boolForKey(key);
    }
    std::optional<std::string> stringForKey(std::string_view key) const override {
        std::lock_guard lock(mutex_);
        return base_.stringForKey(key);
    }

  private:
    const Defaults& base_;
    mutable std::mutex mutex_;
};

}  // namespace gridmint::cli
