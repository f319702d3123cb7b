#include "ResultDictionary.h"

#include <string>

#include "Utf.h"

namespace gridmint {

const Table* ResultDictionary::find(const Text& name) const {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

void ResultDictionary::insert(Text name, Table table) {
    index_.emplace(name, entries_.size());
    entries_.emplace_back(std::move(name), std::move(table));
}

void ResultDictionary::insertUnderUniqueName(Text base, Table table) {
    if (!contains(base)) {
        insert(std::move(base), std::move(table));
        return;
    }
    long& suffix = nextSuffix_.try_emplace(base, 1).first->second;
    Text name;
    do {
        name = base + u" (" + fromUtf8(std::to_string(suffix)) + u")";
        ++suffix;
    } while (contains(name));
    insert(std::move(name), std::move(table));
}

std::vector<Text> ResultDictionary::keys() const {
    std::vector<Text> names;
    names.reserve(entries_.size());
    for (const auto& entry : entries_) names.push_back(entry.first);
    return names;
}

}  // namespace gridmint
