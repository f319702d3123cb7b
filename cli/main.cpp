// gridmint-extract: finds the tables in an HTML page and prints them as CSV or JSON.
#include <string>
#include <vector>

#include "Console.h"
#include "Extract.h"
#include "Options.h"
#include "QSettingsDefaults.h"

int main(int argc, char** argv) {
    using namespace gridmint::cli;
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        printError(parsed.error);
        writeStandardError("Try 'gridmint-extract --help' for more information.\n");
        return exitStatus::usage;
    }
    if (parsed.options.help) {
        return writeStandardOutput(usageText()) ? exitStatus::success : exitStatus::failure;
    }
    if (parsed.options.version) {
        return writeStandardOutput(versionText() + "\n") ? exitStatus::success
                                                         : exitStatus::failure;
    }
    const gridmint::QSettingsDefaults settings;
    return runExtract(parsed.options, settings);
}
