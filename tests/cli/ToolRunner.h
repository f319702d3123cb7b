// Runs the built gridmint-extract as a user would, with HOME and XDG_CONFIG_HOME pointing into
// a test's private directory so that the user's real settings are neither read nor touched.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TempDirectory.h"

extern char** environ;

namespace gridmint::cli {

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `tool` with `arguments`, `input` on standard input and `extraEnvironment` added to the
// environment; standard output and error are collected through files in `home`.
inline ToolResult runTool(const std::string& tool, const std::vector<std::string>& arguments,
                          const TempDirectory& home, const std::string& input = "",
                          const std::vector<std::string>& extraEnvironment = {}) {
    const std::string in = home.file("stdin"), out = home.file("stdout"), err = home.file("stderr");
    std::ofstream(in, std::ios::binary) << input;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> strings = {tool};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = {"HOME=" + home.path().string(),
                                            "XDG_CONFIG_HOME=" + home.file("config")};
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    // A variable set above replaces the inherited one: the C library reads the first of two
    // entries, the dynamic loader the last.
    auto setAbove = [&environment](const std::string& entry) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) return false;
        const std::string name = entry.substr(0, equals + 1);
        return std::any_of(environment.begin(), environment.end(),
                           [&name](const std::string& set) { return set.starts_with(name); });
    };
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (!setAbove(entry)) environment.push_back(entry);
    }
    auto pointers = [](std::vector<std::string>& texts) {
        std::vector<char*> result;
        for (std::string& s : texts) result.push_back(s.data());
        result.push_back(nullptr);
        return result;
    };
    auto argv = pointers(strings);
    auto envp = pointers(environment);

    ToolResult result;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readWholeFile(out);
    result.err = readWholeFile(err);
    return result;
}

}  // namespace gridmint::cli
