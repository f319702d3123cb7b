// The user settings the engine reads. Every value is read at the moment it is needed, never
// cached, so a change made while the program runs is seen by the next read.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace gridmint {

namespace defaultsKey {
inline constexpr std::string_view verbosity = "verbosity";
inline constexpr std::string_view consolidateWhitespace = "parserContentConsolidateWhitespace";
inline constexpr std::string_view userAgent = "userAgentString";
// The CSV form (CsvDialect.h describes the stored values).
inline constexpr std::string_view csvSeparator = "csvSeparator";
inline constexpr std::string_view csvByteOrderMark = "csvByteOrderMark";
inline constexpr std::string_view csvLineEnds = "csvLineEnds";
inline constexpr std::string_view csvQuoting = "csvQuoting";
inline constexpr std::string_view csvGuardFormulas = "csvGuardFormulas";
// The browser reading instead of the default one (boolean), how it lays out spanning cells
// ("repeat", "empty" or "none") and whether it keeps a cell's line breaks (boolean).
inline constexpr std::string_view browserReading = "browserReading";
inline constexpr std::string_view spans = "spans";
inline constexpr std::string_view keepLineBreaks = "keepLineBreaks";
// The browser reading keeps each cell's first link (boolean); the default reading has none.
inline constexpr std::string_view extractLinks = "extractLinks";
}  // namespace defaultsKey

class Defaults {
  public:
    virtual ~Defaults() = default;
    // An absent key reads as 0, false or no value.
    virtual long integerForKey(std::string_view key) const = 0;
    virtual bool boolForKey(std::string_view key) const = 0;
    virtual std::optional<std::string> stringForKey(std::string_view key) const = 0;  // UTF-8
};

// Settings held in memory: for tests, and for callers that override a few keys.
class InMemoryDefaults : public Defaults {
  public:
    InMemoryDefaults() = default;
    InMemoryDefaults& set(std::string_view key, std::string value);
    InMemoryDefaults& set(std::string_view key, long value);
    InMemoryDefaults& set(std::string_view key, bool value);
    void remove(std::string_view key);

    long integerForKey(std::string_view key) const override;
    bool boolForKey(std::string_view key) const override;
    std::optional<std::string> stringForKey(std::string_view key) const override;

  private:
    std::map<std::string, std::string, std::less<>> values_;
};

// Reads every key from `overrides` when it holds it, else from `base`.
class LayeredDefaults : public Defaults {
  public:
    LayeredDefaults(const Defaults& overrides, const Defaults& base)
        : overrides_(overrides), base_(base) {}

    long integerForKey(std::string_view key) const override;
    bool boolForKey(std::string_view key) const override;
    std::optional<std::string> stringForKey(std::string_view key) const override;

  private:
    const Defaults& overrides_;
    const Defaults& base_;
};

}  // namespace gridmint
