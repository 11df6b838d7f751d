// SPDX-License-Identifier: GPL-2.0-or-later
#include "outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace output {
namespace {

std::string realpathof(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out = real;
    std::free(real);
    return out;
}

bool fail(std::string& why, const std::string& text) {
    why = text;
    return false;
}

}  // namespace

bool File::open(const std::string& path, std::string& why) {
    abandon();
    if (path == "-") {
        fd_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        stream_ = true;
        return fd_ >= 0 || fail(why, std::strerror(errno));
    }
    if (path.empty()) return fail(why, "no file name");
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return fail(why, "it is a directory");
        if (!S_ISREG(st.st_mode)) {
            // Without O_NONBLOCK a pipe nobody reads would block for ever.
            fd_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd_ < 0)
                return fail(why, errno == ENXIO ? "nothing reads from it" : std::strerror(errno));
            ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
            stream_ = true;
            return true;
        }
        target_ = realpathof(path);
        if (target_.empty()) return fail(why, std::strerror(errno));
        exists_ = true;
    } else {
        if (errno != ENOENT) return fail(why, std::strerror(errno));
        struct stat link;
        if (::lstat(path.c_str(), &link) == 0)
            return fail(why, "it is a link to a file that does not exist");
        target_ = path;
    }

    const size_t slash = target_.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string base = target_.substr(dir.size());
    if (base.empty()) return fail(why, "no file name");
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = dir + "." + base + ".part" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        fd_ = ::open(temp_.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_RDWR | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temp_.clear();
        return fail(why, std::strerror(error));
    }
    if (!exists_) return true;
    // The new file takes the old one's place with its owner, group and bits.
    struct stat mine;
    ::fstat(fd_, &mine);
    if ((mine.st_uid != st.st_uid || mine.st_gid != st.st_gid) &&
        ::fchown(fd_, st.st_uid, st.st_gid) != 0) {
        if (mine.st_uid != st.st_uid) {
            abandon();
            return fail(why, "it belongs to another user, and replacing it would make it yours");
        }
        (void)!::fchown(fd_, static_cast<uid_t>(-1), mine.st_gid);  // the group we have
    }
    if (::fchmod(fd_, st.st_mode & 07777) != 0) {
        const int error = errno;
        abandon();
        return fail(why, std::strerror(error));
    }
    return true;
}

bool File::write(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::commit(std::string& why) {
    if (fd_ < 0) return fail(why, "not open");
    if (stream_) {
        const bool ok = ::close(fd_) == 0 || errno == EINTR;
        const int error = errno;
        fd_ = -1;
        return ok || fail(why, std::strerror(error));
    }
    bool ok = ::fsync(fd_) == 0;
    int error = errno;
    if (::close(fd_) != 0 && ok) ok = false, error = errno;
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = false, error = errno;
    if (!ok) {
        abandon();
        return fail(why, std::strerror(error));
    }
    temp_.clear();
    return true;
}

void File::abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    target_.clear();
    stream_ = false;
    exists_ = false;
}

std::string resolved(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

bool samefile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    struct stat sa, sb;
    const bool ea = ::stat(a.c_str(), &sa) == 0;
    const bool eb = ::stat(b.c_str(), &sb) == 0;
    if (ea && eb) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (ea != eb) return false;
    return resolved(a) == resolved(b);
}

}  // namespace output
