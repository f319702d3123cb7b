// The system's log: one line per event, "<ISO-8601 local time> Gridmint[<pid>] <message>",
// written to standard error. Tests install a sink to capture the messages instead.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace gridmint {

// Writes one event. The message is UTF-8 and holds no line end of its own.
void logLine(std::string_view message);

// Receives each message (without time and process prefix) instead of standard error.
using LogSink = std::function<void(std::string_view message)>;

// Installs `sink` (an empty one restores standard error) and returns the previous sink.
LogSink setLogSink(LogSink sink);

// The prefixed line as it is written to standard error, without the line end.
std::string formatLogLine(std::string_view message);

}  // namespace gridmint
