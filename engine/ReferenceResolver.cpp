#include "ReferenceResolver.h"

#include <algorithm>
#include <optional>

namespace gridmint {

namespace {

// An address split into its five parts; an absent part differs from an empty one
// ("http://a/b?" has an empty query, "http://a/b" none).
struct AddressParts {
    std::optional<std::string_view> scheme;
    std::optional<std::string_view> authority;
    std::string_view path;
    std::optional<std::string_view> query;
    std::optional<std::string_view> fragment;
};

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSchemeName(std::string_view name) {
    if (name.empty() || !isAsciiLetter(name[0])) return false;
    for (char c : name) {
        if (!isAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

// Splits at the first ":", "//", "?" and "#" that delimit a part, in that order.
AddressParts split(std::string_view address) {
    AddressParts parts;
    const size_t colon = address.find_first_of(":/?#");
    if (colon != std::string_view::npos && address[colon] == ':' &&
        isSchemeName(address.substr(0, colon))) {
        parts.scheme = address.substr(0, colon);
        address.remove_prefix(colon + 1);
    }
    if (address.starts_with("//")) {
        const size_t end = std::min(address.find_first_of("/?#", 2), address.size());
        parts.authority = address.substr(2, end - 2);
        address.remove_prefix(end);
    }
    const size_t pathEnd = std::min(address.find_first_of("?#"), address.size());
    parts.path = address.substr(0, pathEnd);
    address.remove_prefix(pathEnd);
    if (address.starts_with('?')) {
        const size_t end = std::min(address.find('#'), address.size());
        parts.query = address.substr(1, end - 1);
        address.remove_prefix(end);
    }
    if (address.starts_with('#')) parts.fragment = address.substr(1);
    return parts;
}

// Whether the address names a place in a hierarchy that relative references can move in:
// it has an authority or a path from the root ("mailto:x" and "javascript:x" do not).
bool isHierarchical(const AddressParts& parts) {
    return parts.authority || parts.path.starts_with('/');
}

// The reference's relative path appended to the base's path without its last segment.
std::string merged(const AddressParts& base, std::string_view relativePath) {
    if (base.authority && base.path.empty()) return "/" + std::string(relativePath);
    const size_t slash = base.path.rfind('/');
    if (slash == std::string_view::npos) return std::string(relativePath);
    return std::string(base.path.substr(0, slash + 1)) + std::string(relativePath);
}

std::string recomposed(const AddressParts& parts, std::string_view path) {
    std::string address;
    if (parts.scheme) address.append(*parts.scheme).append(":");
    if (parts.authority) address.append("//").append(*parts.authority);
    address.append(path);
    if (parts.query) address.append("?").append(*parts.query);
    if (parts.fragment) address.append("#").append(*parts.fragment);
    return address;
}

void removeLastSegment(std::string& output) {
    const size_t slash = output.rfind('/');
    output.erase(slash == std::string::npos ? 0 : slash);
}

bool isControlOrSpace(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

}  // namespace

std::string removeDotSegments(std::string_view path) {
    std::string output;
    output.reserve(path.size());
    std::string_view input = path;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.remove_prefix(3);
            removeLastSegment(output);
        } else if (input == "/..") {
            input = "/";
            removeLastSegment(output);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const size_t end = std::min(input.find('/', 1), input.size());
            output.append(input.substr(0, end));
            input.remove_prefix(end);
        }
    }
    return output;
}

std::string cleanedAddress(std::string_view address) {
    while (!address.empty() && isControlOrSpace(address.front())) address.remove_prefix(1);
    while (!address.empty() && isControlOrSpace(address.back())) address.remove_suffix(1);
    std::string cleaned;
    cleaned.reserve(address.size());
    for (char c : address) {
        if (c != '\t' && c != '\n' && c != '\r') cleaned += c;
    }
    return cleaned;
}

std::string resolveReference(std::string_view base, std::string_view reference) {
    const std::string cleanBase = cleanedAddress(base);
    const std::string cleanReference = cleanedAddress(reference);
    const AddressParts r = split(cleanReference);
    if (r.scheme) {
        if (!isHierarchical(r)) return cleanReference;
        return recomposed(r, removeDotSegments(r.path));
    }
    const AddressParts b = split(cleanBase);
    if (!isHierarchical(b)) return cleanReference;
    AddressParts target;
    target.scheme = b.scheme;
    target.fragment = r.fragment;
    std::string path;
    if (r.authority) {
        target.authority = r.authority;
        path = removeDotSegments(r.path);
        target.query = r.query;
    } else {
        target.authority = b.authority;
        if (r.path.empty()) {
            path = std::string(b.path);
            target.query = r.query ? r.query : b.query;
        } else {
            path = removeDotSegments(r.path.starts_with('/') ? std::string(r.path)
                                                             : merged(b, r.path));
            target.query = r.query;
        }
    }
    return recomposed(target, path);
}

}  // namespace gridmint
