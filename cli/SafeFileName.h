// File names for tables written with --all. A table name can hold anything a page puts in an
// id or class (slashes, quotes, nothing at all), so each is made safe for every common file
// system and unique within one run, ignoring case as macOS and Windows do.
#pragma once

#include <set>
#include <string>

#include "Text.h"

namespace gridmint::cli {

// `name` as a file name stem (no extension): UTF-8, no path separator, no character that
// common file systems refuse, no leading dot, at most maxStemBytes bytes; never empty.
std::string safeFileStem(const Text& name);

inline constexpr size_t maxStemBytes = 200;

// Hands out stems that differ from every stem handed out before, ignoring ASCII case:
// "a/b" and "a_b" become "a_b" and "a_b_2".
class UniqueFileStems {
  public:
    std::string next(const Text& name);

  private:
    std::set<std::string> taken_;  // lower-cased
};

}  // namespace gridmint::cli
