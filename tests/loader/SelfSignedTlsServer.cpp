#include "SelfSignedTlsServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "TestHttpServer.h"

extern char** environ;

namespace gridmint::test {

namespace {

using namespace std::chrono_literals;

// Starts `arguments` (found on the PATH) with its standard streams on /dev/null; -1 on
// failure.
pid_t spawnQuietly(std::vector<std::string> arguments) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int stream : {0, 1, 2}) {
        posix_spawn_file_actions_addopen(&actions, stream, "/dev/null",
                                         stream ? O_WRONLY : O_RDONLY, 0);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

bool acceptsConnections(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

}  // namespace

bool SelfSignedTlsServer::opensslInstalled() {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string folder(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (!folder.empty() && access((folder + "/openssl").c_str(), X_OK) == 0) return true;
    }
    return false;
}

SelfSignedTlsServer::SelfSignedTlsServer() {
    // The transfers to it must not go through a proxy named in the environment.
    setenv("no_proxy", "*", 1);
    std::string pattern = (std::filesystem::temp_directory_path() / "gridmint-tls-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        error_ = "cannot make a folder for the certificate";
        return;
    }
    folder_ = pattern;
    if (makeCertificate() && startServer()) waitUntilListening();
}

SelfSignedTlsServer::~SelfSignedTlsServer() {
    if (child_ > 0) {
        kill(child_, SIGTERM);
        waitpid(child_, nullptr, 0);
    }
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::string SelfSignedTlsServer::url(std::string_view target) const {
    return "https://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

bool SelfSignedTlsServer::makeCertificate() {
    const pid_t pid = spawnQuietly({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                                    "-subj", "/CN=localhost", "-days", "1", "-keyout",
                                    folder_ + "/key.pem", "-out", folder_ + "/cert.pem"});
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        error_ = "openssl req could not make a certificate";
        return false;
    }
    return true;
}

bool SelfSignedTlsServer::startServer() {
    port_ = unusedPort();
    child_ = spawnQuietly({"openssl", "s_server", "-accept", "127.0.0.1:" + std::to_string(port_),
                           "-cert", folder_ + "/cert.pem", "-key", folder_ + "/key.pem", "-www",
                           "-quiet"});
    if (child_ < 0) error_ = "openssl s_server could not be started";
    return child_ > 0;
}

// The server needs a moment to load its key; give up when it exits or after ten seconds.
bool SelfSignedTlsServer::waitUntilListening() {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (acceptsConnections(port_)) return true;
        int status = 0;
        if (waitpid(child_, &status, WNOHANG) == child_) {
            child_ = -1;
            error_ = "openssl s_server exited at once";
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    error_ = "openssl s_server did not listen within 10 s";
    return false;
}

}  // namespace gridmint::test
