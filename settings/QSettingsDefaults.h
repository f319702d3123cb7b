// The user's settings as the engine reads them, taken from QSettings (organisation and
// application "Gridmint"; on Linux ~/.config/Gridmint/Gridmint.conf). Every call reads the
// store afresh, and nothing is ever written to it.
#pragma once

#include "Defaults.h"

namespace gridmint {

class QSettingsDefaults : public Defaults {
  public:
    long integerForKey(std::string_view key) const override;
    bool boolForKey(std::string_view key) const override;
    std::optional<std::string> stringForKey(std::string_view key) const override;
};

}  // namespace gridmint
