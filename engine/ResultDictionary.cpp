#include "ResultDictionary.h"

namespace gridmint {

const Table* ResultDictionary::find(const Text& name) const {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

void ResultDictionary::insert(Text name, Table table) {
    index_.emplace(name, entries_.size());
    entries_.emplace_back(std::move(name), std::move(table));
}

std::vector<Text> ResultDictionary::keys() const {
    std::vector<Text> names;
    names.reserve(entries_.size());
    for (const auto& entry : entries_) names.push_back(entry.first);
    return names;
}

}  // namespace gridmint
