// SPDX-License-Identifier: GPL-2.0-or-later
// A disk that fills up, for the tests of the --log file: preloaded
// (LD_PRELOAD), it makes the program's writes to the files under a path
// fail as on a full disk. QUIBB9X_TEST_DISK is PATH:full (setting room
// aside and writing both fail with ENOSPC) or PATH:short (room is set
// aside, but each write stores only the first half of its bytes, as when
// the disk fills up in the middle of it). Other files are not touched.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FULLDISK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The mode for a file descriptor under the path, or nullptr.
const char* modefor(int fd) {
    const char* env = std::getenv("QUIBB9X_TEST_DISK");
    const char* colon = env ? std::strrchr(env, ':') : nullptr;
    if (!colon) return nullptr;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096];
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return nullptr;
    path[n] = 0;
    const size_t prefix = static_cast<size_t>(colon - env);
    return std::strncmp(path, env, prefix) == 0 ? colon + 1 : nullptr;
}

bool full(int fd) {
    const char* mode = modefor(fd);
    return mode && std::strcmp(mode, "full") == 0;
}

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

FULLDISK_EXPORT ssize_t write(int fd, const void* data, size_t count) {
    static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    const char* mode = count > 0 ? modefor(fd) : nullptr;
    if (mode && std::strcmp(mode, "full") == 0) {
        errno = ENOSPC;
        return -1;
    }
    if (mode && std::strcmp(mode, "short") == 0) return real(fd, data, (count + 1) / 2);
    return real(fd, data, count);
}

FULLDISK_EXPORT int fallocate(int fd, int mode, off_t offset, off_t length) {
    static const auto real = next<int (*)(int, int, off_t, off_t)>("fallocate");
    if (full(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, mode, offset, length);
}

FULLDISK_EXPORT int fallocate64(int fd, int mode, off64_t offset, off64_t length) {
    return fallocate(fd, mode, static_cast<off_t>(offset), static_cast<off_t>(length));
}

FULLDISK_EXPORT int posix_fallocate(int fd, off_t offset, off_t length) {
    static const auto real = next<int (*)(int, off_t, off_t)>("posix_fallocate");
    return full(fd) ? ENOSPC : real(fd, offset, length);
}
