// Runs the browser reading's encoding steps on inputs from standard input, for the Python
// checks that compare them with the oracle: `encoding-probe label|prescan|content|NAME`, each
// input as its length in decimal, a newline, then its bytes; one line out per input: the
// encoding's name or "-" for none, or for an encoding NAME the input decoded in it, as the
// hexadecimal digits of its UTF-8.
#include <iostream>
#include <string>

#include "browser/BrowserCodec.h"
#include "browser/EncodingSniffing.h"

namespace {

void printHex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    for (unsigned char byte : bytes) std::cout << digits[byte >> 4] << digits[byte & 15];
    std::cout << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    using namespace gridmint::browser;
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode.empty()) {
        std::cerr << "usage: encoding-probe label|prescan|content|ENCODING < inputs\n";
        return 2;
    }
    std::size_t length = 0;
    while (std::cin >> length) {
        std::cin.get();  // the newline
        std::string input(length, '\0');
        if (!std::cin.read(input.data(), static_cast<std::streamsize>(length))) return 2;
        if (mode != "label" && mode != "prescan" && mode != "content") {
            printHex(decodeForBrowser(input, mode).text());
            continue;
        }
        const auto found = mode == "label"     ? encodingForLabel(input)
                           : mode == "prescan" ? prescanMetaCharset(input)
                                               : charsetFromMetaContent(input);
        std::cout << found.value_or("-") << '\n';
    }
    return 0;
}
