// The browser reading's options as the settings hold them:
//   spans           text: "repeat" (the default), "empty" or "none"; any other word reads as
//                   the default
//   keepLineBreaks  boolean: cell text keeps its line breaks as "\n"
//   extractLinks    boolean: each cell keeps its first link's address
#pragma once

#include "BrowserReading.h"
#include "Defaults.h"

namespace gridmint::browser {

BrowserOptions browserOptionsFromDefaults(const Defaults& defaults);

}  // namespace gridmint::browser
