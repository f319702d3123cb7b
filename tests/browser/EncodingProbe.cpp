// Runs the browser reading's encoding steps on inputs from standard input, for the Python
// checks that compare them with the oracle: `encoding-probe label|prescan|content`, each
// input as its length in decimal, a newline, then its bytes; one line out per input, the
// encoding's name or "-" for none.
#include <iostream>
#include <string>

#include "browser/EncodingSniffing.h"

int main(int argc, char** argv) {
    using namespace gridmint::browser;
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode != "label" && mode != "prescan" && mode != "content") {
        std::cerr << "usage: encoding-probe label|prescan|content < inputs\n";
        return 2;
    }
    std::size_t length = 0;
    while (std::cin >> length) {
        std::cin.get();  // the newline
        std::string input(length, '\0');
        if (!std::cin.read(input.data(), static_cast<std::streamsize>(length))) return 2;
        const auto found = mode == "label"     ? encodingForLabel(input)
                           : mode == "prescan" ? prescanMetaCharset(input)
                                               : charsetFromMetaContent(input);
        std::cout << found.value_or("-") << '\n';
    }
    return 0;
}
