// The tables of one page, by name. Names are unique; the tables keep the order in which
// they were stored (the page's order of table ends), so every output is deterministic.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Table.h"
#include "Text.h"

namespace gridmint {

class ResultDictionary {
  public:
    using Entry = std::pair<Text, Table>;

    bool contains(const Text& name) const { return index_.count(name) != 0; }
    // The table stored under `name`, or nullptr.
    const Table* find(const Text& name) const;
    // Stores `table` under `name`, which must not be present yet.
    void insert(Text name, Table table);
    // Stores `table` under `base`, or under the first "<base> (n)", n from 1, not taken yet.
    void insertUnderUniqueName(Text base, Table table);

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const Entry& at(size_t position) const { return entries_[position]; }
    // The table at `position`, to change in place; its name stays.
    Table& tableAt(size_t position) { return entries_[position].second; }
    std::vector<Text> keys() const;

    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

  private:
    std::vector<Entry> entries_;
    std::unordered_map<Text, size_t> index_;
    // Per base name, the lowest suffix that may still be free: names are only ever added, so
    // every suffix below it is taken and the search resumes there, which keeps naming linear
    // when many tables share one name.
    std::unordered_map<Text, long> nextSuffix_;
};

}  // namespace gridmint
