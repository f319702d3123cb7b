// Address normalisation on anything a user might type. The result must be UTF-8 with a
// scheme; text that already names one, or that is not a path, must pass through unchanged
// after "http://"; a local path must become a "file://" address whose path holds only
// characters that may stand in a URL path and decodes to a path within the home folder
// when typed with "~/"; and percent-encoding any bytes must decode back to those bytes.
//
// Input: one byte picks the home folder (or none), one byte the text form (bit 0: pairs of
// bytes as UTF-16 units, else one byte per unit), the rest is what was typed.
#include <cstdint>
#include <optional>
#include <string>

#include "AddressNormaliser.h"
#include "FuzzChecks.h"
#include "FuzzInput.h"
#include "Utf.h"

namespace gridmint::fuzz {
namespace {

const std::optional<std::string> homes[] = {
    std::nullopt,
    std::string("/"),
    std::string("/home/ana"),
    std::string("/home/ana//"),
    std::string("/home/j s/%41"),
};

bool mayStandInPath(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~!$&'()*+,;=:@/").find(static_cast<char>(c)) !=
               std::string_view::npos;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // the encoder writes upper-case digits only
}

// The bytes of an encoded path; fails on anything the encoder would not have written.
std::string percentDecoded(std::string_view encoded) {
    std::string out;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const auto c = static_cast<unsigned char>(encoded[i]);
        if (c != '%') {
            require(mayStandInPath(c), "a character that may not stand in a path was kept");
            out.push_back(static_cast<char>(c));
            continue;
        }
        require(i + 2 < encoded.size(), "a percent sign without two digits");
        const int high = hexValue(encoded[i + 1]);
        const int low = hexValue(encoded[i + 2]);
        require(high >= 0 && low >= 0, "a percent sign without two digits");
        out.push_back(static_cast<char>(high << 4 | low));
        i += 2;
    }
    return out;
}

void requireFileAddress(std::string_view address, const Text& typed,
                        const std::optional<std::string>& home) {
    const std::string path = percentDecoded(address.substr(7));
    require(isValidUtf8(path), "a file address's path is not UTF-8");
    require(!path.empty() && path.front() == '/', "a file address's path is not absolute");
    if (typed.starts_with(u"~/")) {
        require(home.has_value(), "\"~/\" became a file address without a home folder");
        std::string_view folder = *home;
        while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
        require(path.starts_with(std::string(folder) + "/"), "\"~/\" left the home folder");
    } else {
        require(typed.front() == u'/', "only a path becomes a file address");
    }
}

}  // namespace
}  // namespace gridmint::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace gridmint;
    using namespace gridmint::fuzz;

    FuzzInput input(data, size);
    const auto& home = homes[input.takeByte() % std::size(homes)];
    const bool pairs = (input.takeByte() & 1) != 0;
    const Text typed = textFromBytes(input.rest(), pairs);

    const std::string address = normaliseAddress(typed, home);
    require(normaliseAddress(typed, home) == address, "the same text normalised twice differs");
    require(isValidUtf8(address), "the address is not UTF-8");
    const std::string text = toUtf8(typed);
    if (address.starts_with("file://") && text.find("://") == std::string::npos) {
        requireFileAddress(address, typed, home);
    } else if (text.find("://") != std::string::npos && typed.size() > 6) {
        require(address == text, "an address with a scheme was changed");
    } else {
        require(address == "http://" + text, "an address was changed beyond adding \"http://\"");
    }

    const std::string_view bytes = input.rest();
    require(percentDecoded(percentEncodePath(bytes)) == bytes,
            "percent-encoding does not decode to the same bytes");
    return 0;
}
