// SPDX-License-Identifier: GPL-2.0-or-later
#include "record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "cli/options.h"

namespace cli {
namespace {

// Room set aside in the log before each chip: some hundreds of lines.
constexpr off_t logroom = 64 << 10;

std::string hex4(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
    return text;
}

std::string hex3(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%03X", value & 0xFFFF);
    return text;
}

// File names are bytes: one that is UTF-8 goes in as it is (the writer
// escapes its control characters), another as our messages show it.
QJsonValue text(const std::string& bytes) {
    const QString s = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (s.toUtf8() == QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()))) return s;
    return QString::fromStdString(escaped(bytes));
}

template <class T, class F>
QJsonValue orNull(const std::optional<T>& v, F shown) {
    return v ? QJsonValue(shown(*v)) : QJsonValue(QJsonValue::Null);
}

}  // namespace

std::string failurekind(int exit) {
    switch (exit) {
    case exitok: return {};
    case exitfailed: return "input-or-device";
    case exitusage: return "usage";
    case exitverify: return "verify";
    case exitwrongchip: return "wrong-chip";
    case exitprotected: return "protected";
    default: return exit > 128 ? "interrupted" : "input-or-device";
    }
}

std::string jsonline(const ChipRecord& r) {
    QJsonObject o;
    o["time"] = QString::fromStdString(r.time);
    o["operation"] = QString::fromStdString(r.operation);
    o["chip"] = QString::fromStdString(r.chip);
    o["deviceid"] = orNull(r.deviceid, [](uint16_t v) { return QString::fromStdString(hex4(v)); });
    o["revision"] = orNull(r.revision, [](int v) { return v; });
    o["board"] = text(r.board);
    o["port"] = QString::fromStdString(hex3(r.port));
    o["file"] = text(r.file);
    o["sha256"] = r.sha256.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(r.sha256));
    o["checksum"] = orNull(r.checksum, [](uint16_t v) { return QString::fromStdString(hex4(v)); });
    o["serial"] = orNull(r.serial, [](uint64_t v) { return static_cast<qint64>(v); });
    o["written"] = r.written;
    o["verified"] = r.verified;
    o["result"] = r.exit == exitok ? "ok" : "failed";
    const std::string kind = failurekind(r.exit);
    o["failure"] = kind.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(kind));
    o["exit"] = r.exit;
    o["address"] = orNull(r.address, [](int32_t v) { return QString::fromStdString(hex4(static_cast<uint32_t>(v))); });
    o["message"] = text(r.message);
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

std::string jsonsummary(int chips, int passed, const std::vector<uint64_t>& serials,
                        const std::vector<uint64_t>& failedserials) {
    const auto list = [](const std::vector<uint64_t>& numbers) {
        QJsonArray a;
        for (uint64_t n : numbers) a.append(static_cast<qint64>(n));
        return a;
    };
    QJsonObject o;
    o["operation"] = "summary";
    o["chips"] = chips;
    o["passed"] = passed;
    o["failed"] = chips - passed;
    o["serials"] = list(serials);
    o["failedserials"] = list(failedserials);
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

std::string nowutc() {
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const time_t seconds = static_cast<time_t>(ms / 1000);
    struct tm t;
    gmtime_r(&seconds, &t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(ms % 1000));
    return text;
}

std::string sha256hex(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

bool readwhole(const std::string& path, std::string& bytes, size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= limit;
    bytes.clear();
    char block[1 << 14];
    while (ok) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        bytes.append(block, static_cast<size_t>(n));
        if (bytes.size() > limit) ok = false;
    }
    ::close(fd);
    return ok;
}

ChipLog::~ChipLog() {
    if (fd_ >= 0) ::close(fd_);
}

bool ChipLog::open(const std::string& path, std::string& why) {
    path_ = path;
    struct stat there;
    if (::stat(path.c_str(), &there) == 0 && !S_ISREG(there.st_mode)) {
        why = "it is not a regular file";
        return false;
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "it is not a regular file";
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

bool ChipLog::reserve(std::string& why) {
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, st.st_size, logroom) == 0) return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        why = std::strerror(errno);
        return false;
    }
    // A file system that cannot set room aside: it must at least have it.
    struct statvfs fs;
    if (::fstatvfs(fd_, &fs) == 0 &&
        static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < static_cast<unsigned long long>(logroom)) {
        why = std::strerror(ENOSPC);
        return false;
    }
    return true;
}

bool ChipLog::append(const std::string& line, std::string& why) {
    while (::flock(fd_, LOCK_EX) != 0)
        if (errno != EINTR) break;
    struct stat st;
    const bool sized = ::fstat(fd_, &st) == 0;
    ssize_t n;
    do n = ::write(fd_, line.data(), line.size());
    while (n < 0 && errno == EINTR);
    const int error = n < 0 ? errno : ENOSPC;
    bool ok = n == static_cast<ssize_t>(line.size());
    // Part of a line is no line: the file goes back to where it ended.
    if (!ok && n > 0 && sized) (void)!::ftruncate(fd_, st.st_size);
    if (ok && ::fdatasync(fd_) != 0 && errno != EINVAL) {
        ok = false;
        why = std::strerror(errno);
    } else if (!ok) {
        why = std::strerror(error);
    }
    ::flock(fd_, LOCK_UN);
    return ok;
}

LineWatch::LineWatch(std::ostream& stream) : stream_(stream), inner_(stream.rdbuf(this)) {}

LineWatch::~LineWatch() {
    sync();
    stream_.rdbuf(inner_);
}

int LineWatch::overflow(int c) {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const char ch = static_cast<char>(c);
    if (ch == '\n') {
        // A progress line redrawn and cleared leaves only its erase code.
        std::string l = line_;
        while (l.rfind("\x1b[K", 0) == 0) l.erase(0, 3);
        if (!l.empty()) lines_.push_back(l);
        line_.clear();
    } else if (ch == '\r') {
        line_.clear();
    } else {
        line_ += ch;
    }
    return inner_->sputc(ch) == traits_type::eof() ? traits_type::eof() : c;
}

int LineWatch::sync() { return inner_->pubsync(); }

void RecordingConsole::startchip() {
    written_ = verified_ = 0;
    given_[0].reset();
    given_[1].reset();
    difference_.reset();
}

void RecordingConsole::wordsDone(int written, int verified) {
    written_ += written;
    verified_ += verified;
    ConsoleFrontend::wordsDone(written, verified);
}

Answer RecordingConsole::message(const std::string& text, const std::string& title, Buttons buttons) {
    unsigned address = 0;
    if (title == "ERROR!" && !difference_ && std::sscanf(text.c_str(), "Failed at 0x%X:", &address) == 1)
        difference_ = static_cast<int32_t>(address);
    return ConsoleFrontend::message(text, title, buttons);
}

void RecordingConsole::setcounts(int written, int verified) {
    given_[0] = written;
    given_[1] = verified;
}

}  // namespace cli
