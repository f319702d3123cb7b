#include "Defaults.h"

#include <charconv>

namespace gridmint {

namespace {

long parseInteger(const std::string& text) {
    long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

bool parseBool(const std::string& text) {
    return text == "true" || text == "YES" || text == "yes" || parseInteger(text) != 0;
}

}  // namespace

InMemoryDefaults& InMemoryDefaults::set(std::string_view key, std::string value) {
    values_.insert_or_assign(std::string(key), std::move(value));
    return *this;
}

InMemoryDefaults& InMemoryDefaults::set(std::string_view key, long value) {
    return set(key, std::to_string(value));
}

InMemoryDefaults& InMemoryDefaults::set(std::string_view key, bool value) {
    return set(key, std::string(value ? "true" : "false"));
}

void InMemoryDefaults::remove(std::string_view key) {
    if (auto it = values_.find(key); it != values_.end()) values_.erase(it);
}

long InMemoryDefaults::integerForKey(std::string_view key) const {
    auto value = stringForKey(key);
    return value ? parseInteger(*value) : 0;
}

bool InMemoryDefaults::boolForKey(std::string_view key) const {
    auto value = stringForKey(key);
    return value && parseBool(*value);
}

std::optional<std::string> InMemoryDefaults::stringForKey(std::string_view key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

long LayeredDefaults::integerForKey(std::string_view key) const {
    return overrides_.stringForKey(key) ? overrides_.integerForKey(key) : base_.integerForKey(key);
}

bool LayeredDefaults::boolForKey(std::string_view key) const {
    return overrides_.stringForKey(key) ? overrides_.boolForKey(key) : base_.boolForKey(key);
}

std::optional<std::string> LayeredDefaults::stringForKey(std::string_view key) const {
    auto value = overrides_.stringForKey(key);
    return value ? value : base_.stringForKey(key);
}

}  // namespace gridmint
