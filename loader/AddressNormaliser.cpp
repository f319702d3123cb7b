#include "AddressNormaliser.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "Utf.h"
#include "XmlEntities.h"

namespace gridmint {

namespace {

constexpr std::string_view httpPrefix = "http://";
constexpr std::string_view filePrefix = "file://";

bool mayStandInPath(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("-._~!$&'()*+,;=:@/").find(static_cast<char>(c)) !=
           std::string_view::npos;
}

std::optional<std::string> absolute(const char* path) {
    if (path == nullptr || path[0] != '/') return std::nullopt;
    return std::string(path);
}

std::string fileAddress(std::string_view path) {
    return std::string(filePrefix) + percentEncodePath(path);
}

}  // namespace

std::string percentEncodePath(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (mayStandInPath(c)) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xF]);
        }
    }
    return out;
}

std::optional<std::string> homeDirectory() {
    if (auto home = absolute(std::getenv("HOME"))) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
        return std::nullopt;
    }
    return absolute(found->pw_dir);
}

std::string normaliseAddress(std::u16string_view typed,
                             const std::optional<std::string>& homeDirectory) {
    const size_t length = typed.size();
    const std::string text = toUtf8(typed);
    // A local path is a file whatever its length: "/a.html" and "~/t.html" are never hosts.
    if (text.starts_with('/')) return fileAddress(replaceXmlEntities(text));
    if (text.starts_with("~/") && homeDirectory) {
        std::string_view home = *homeDirectory;
        while (home.size() > 1 && home.back() == '/') home.remove_suffix(1);
        if (home == "/") home = {};
        return fileAddress(std::string(home) + replaceXmlEntities(text.substr(1)));
    }
    if (length <= 6) return std::string(httpPrefix) + text;
    if (text.find("://") != std::string::npos) return text;
    return std::string(httpPrefix) + text;
}

}  // namespace gridmint
