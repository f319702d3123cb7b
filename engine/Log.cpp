#include "Log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <mutex>

namespace gridmint {

namespace {

std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}

LogSink& currentSink() {
    static LogSink sink;
    return sink;
}

std::string isoLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &local);
    char line[64];
    std::snprintf(line, sizeof line, "%s.%03ld%s", date, now.tv_nsec / 1000000, zone);
    return line;
}

}  // namespace

std::string formatLogLine(std::string_view message) {
    std::string line = isoLocalTime();
    line += " Gridmint[";
    line += std::to_string(getpid());
    line += "] ";
    line += message;
    return line;
}

void logLine(std::string_view message) {
    std::lock_guard lock(logMutex());
    if (currentSink()) {
        currentSink()(message);
        return;
    }
    std::string line = formatLogLine(message);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard lock(logMutex());
    LogSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

}  // namespace gridmint
