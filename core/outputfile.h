// SPDX-License-Identifier: GPL-2.0-or-later
// Where a file the program writes ends up, decided once for the dumps, the
// capture and the settings file alike:
//   "-"                        standard output, written as a stream;
//   a terminal, pipe, device   written directly, never replaced (so a dump to
//   (also through a link,      /dev/stdout goes down the pipe and the link
//   such as /dev/stdout)       stays);
//   a regular file, or a link  a new file beside the file itself (the link's
//   to one                     target), created exclusively, renamed onto it
//                              when complete: the link stays, a failure
//                              leaves the old file whole, and the new file
//                              keeps the old one's permission bits, owner and
//                              group (a file of another user that cannot
//                              keep its owner is refused, not taken over);
//   a name not there yet       created the same way;
//   a link to nothing          refused (its target's place is not ours).
#pragma once
#include <string>

namespace output {

class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // A file never committed is taken away: an interruption that unwinds
    // leaves no half-written file.
    ~File() { abandon(); }

    // Opens the way to `path`. False with the system's reason in `why`.
    bool open(const std::string& path, std::string& why);
    // Where the bytes go now (the temporary file, or the stream).
    int fd() const { return fd_; }
    bool stream() const { return stream_; }
    // The temporary file beside the target (empty for a stream).
    const std::string& temporary() const { return temp_; }

    // All of `size` bytes at the current position; false at the first error
    // (errno tells which).
    bool write(const char* data, std::size_t size);
    // Makes the bytes durable and puts the file under its name (a stream is
    // only closed). False with the reason when that could not be done; the
    // old file is then left as it was.
    bool commit(std::string& why);
    void abandon();

private:
    std::string target_;  // the regular file to replace, links followed
    std::string temp_;
    int fd_ = -1;
    bool stream_ = false;
    bool exists_ = false;  // a file at target_ to keep the bits of
};

// The path with every link followed: for an existing file its real path,
// for a missing one its real directory and name. Two paths that name one
// file give equal texts.
std::string resolved(const std::string& path);
// True when both paths name the same file (one inode, or one place when
// neither exists yet).
bool samefile(const std::string& a, const std::string& b);

}  // namespace output
