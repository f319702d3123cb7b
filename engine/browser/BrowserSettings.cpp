#include "BrowserSettings.h"

namespace gridmint::browser {

BrowserOptions browserOptionsFromDefaults(const Defaults& defaults) {
    BrowserOptions options;
    if (const auto spans = defaults.stringForKey(defaultsKey::spans)) {
        options.spans = spanModeNamed(*spans).value_or(SpanMode::repeat);
    }
    options.keepLineBreaks = defaults.boolForKey(defaultsKey::keepLineBreaks);
    options.links = defaults.boolForKey(defaultsKey::extractLinks);
    return options;
}

}  // namespace gridmint::browser
