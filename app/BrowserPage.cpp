#include "BrowserPage.h"

#include "BrowserCodec.h"
#include "Utf.h"

namespace gridmint {

BrowserPage readBytesAsBrowserPage(std::string_view bytes, std::string_view responseCharset,
                                   const browser::BrowserOptions& options) {
    BrowserPage page;
    page.reading = browser::readTablesFromBytesAsBrowser(bytes, options, responseCharset);
    // Settling again with the declaration the reading met gives the encoding it read in.
    const browser::SettledEncoding settled =
        browser::settleEncoding(bytes, responseCharset, page.reading.declaredCharset);
    page.text = fromUtf8(browser::decodeForBrowser(bytes, settled).text());
    return page;
}

}  // namespace gridmint
