// The application's icon, painted in code: Qt draws SVG only with an extra module, and the
// window needs its icon without one. It matches resources/gridmint.svg, the icon installed
// for the desktop.
#pragma once

#include <QIcon>

namespace gridmint {

QIcon appIcon();

}  // namespace gridmint
