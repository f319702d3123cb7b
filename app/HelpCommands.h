// The Help menu's commands: the user guide installed beside the program, the project's home
// page, and the About box with the version.
#pragma once

#include <QString>

class QWidget;

namespace gridmint {

// "<version> (<build>)", as the About box and --version show it.
QString bundleVersionNumber();

// The installed user guide's path, or "" when it is not installed.
QString findGuide();

// Opens the guide in the default browser; false when it is not installed.
bool openGuide();
void openHomePage();
void showAboutBox(QWidget* parent);

}  // namespace gridmint
