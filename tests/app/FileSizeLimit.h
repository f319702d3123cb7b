// A full disk, for as long as the object lives: every file this process writes stops growing
// at a given size, and a write past it fails with EFBIG (SIGXFSZ is ignored, so the process
// lives on). The previous limit and signal disposition come back when the object goes.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace gridmint::test {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : previousHandler(signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = bytes < previous.rlim_max ? bytes : previous.rlim_max;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    sighandler_t previousHandler;
    rlimit previous{};
};

}  // namespace gridmint::test
