// SPDX-License-Identifier: GPL-2.0-or-later
#include "dumps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/binding.h"
#include "core/outputfile.h"
#include "devices/select.h"
#include "image.h"

namespace {

// Blanking a BIN file: a 16-bit zero at every position 1 to 8513, each
// overlapping the last, which leaves 8514 zero bytes.
constexpr size_t blanksize = 8513 + 1;

// The original chips' read-out image: word i of a region at offset
// base + 2i, low byte first; the data memory ends it.
size_t readoutsize(const ChipRow& row) {
    return static_cast<size_t>(regionbase(Region::data) + 2 * readoutwords(row, Region::data));
}

// File 1 of a read-out: every word's two bytes go to their 1-based positions
// in the open file, or in memory when there is no file (a BIN dump, which
// may go to a stream and so is written whole at the end). The first error is
// kept for the writer to ask after the pass (later bytes are not written).
// The ID area's bytes are also kept as first written: on the original chips
// the configuration word's low byte lands on the last of them, the high
// byte of ID word 3, and the HEX dump needs that byte as the chip gave it.
// The read-out always passes the ID locations before the configuration word.
class DumpSink : public WordSink {
public:
    DumpSink(State& s, int fd) : s_(s), fd_(fd) { init(); }
    DumpSink(State& s, std::vector<uint8_t>& memory) : s_(s), memory_(&memory) { init(); }

    void put(int32_t address, int16_t word) override {
        const int32_t position = dumpposition(s_, address);
        const int32_t hi = binding::zavSR(word, 8);
        putbyte(position, static_cast<uint8_t>(word & 0xFF));
        putbyte(position + 1, static_cast<uint8_t>(hi));
        s_.dumppos = static_cast<int16_t>(position + 2);
    }

    int error = 0;
    std::vector<uint8_t> idbytes;
    std::vector<bool> idseen;

private:
    void init() {
        const size_t bytes = 2 * static_cast<size_t>(readoutwords(currentchip(s_), Region::id));
        idbytes.assign(bytes, 0);
        idseen.assign(bytes, false);
    }

    void putbyte(int32_t position, uint8_t byte) {
        const int64_t offset = static_cast<int64_t>(position) - 1;
        const int64_t id = offset - regionbase(Region::id);
        if (id >= 0 && id < static_cast<int64_t>(idbytes.size()) && !idseen[id]) {
            idbytes[id] = byte;
            idseen[id] = true;
        }
        if (error != 0) return;
        if (offset < 0) {
            error = EINVAL;
            return;
        }
        if (memory_) {
            if (static_cast<size_t>(offset) >= memory_->size()) memory_->resize(offset + 1, 0);
            (*memory_)[static_cast<size_t>(offset)] = byte;
            return;
        }
        if (pwrite(fd_, &byte, 1, offset) != 1) error = errno != 0 ? errno : EIO;
    }

    State& s_;
    int fd_ = -1;
    std::vector<uint8_t>* memory_ = nullptr;
};

bool fileerror(Frontend& f, const char* text) {
    f.message(text, "ERROR!");
    return false;
}

// The finished dump goes through the output file (core/outputfile.h): beside
// the target under a name of its own, renamed onto it only once complete, so
// a failure part-way never leaves a half-written file under the target's
// name; a link's target is replaced and the link stays; a stream ("-", a
// pipe, a terminal) is written directly.
bool writedump(const std::string& target, const std::string& bytes) {
    output::File out;
    std::string why;
    return out.open(target, why) && out.write(bytes.data(), bytes.size()) && out.commit(why);
}

// Reads file 1 back whole; bytes past its end read as 0.
bool readback(int fd, std::vector<uint8_t>& image, size_t size) {
    image.assign(size, 0);
    size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = pread(fd, image.data() + done, image.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return true;
}

// One 16-byte record of the read-out image at offset s.hexaddr, read from
// file 1 at 1-based positions. Offsets in configuration space (the data
// memory) have their high address byte doubled: 0x2100 becomes record
// address 0x4200.
void send_hex(State& s, const std::vector<uint8_t>& file1, std::string& file2) {
    file2 += ":10";
    s.addrhi = static_cast<int16_t>(binding::zavSR(s.hexaddr, 8));
    s.addrlo = static_cast<int16_t>(s.hexaddr & 255);
    if (s.hexaddr >= regionbase(Region::id)) s.addrhi = static_cast<int16_t>(s.addrhi * 2);
    s.addrhistr = formato(s.addrhi);
    s.addrlostr = formato(s.addrlo);
    file2 += s.addrhistr + s.addrlostr + "00";
    s.hexsum = static_cast<int16_t>((s.addrlo + s.addrhi + 16) % 256);
    for (s.hexpos = 1; s.hexpos <= 16; ++s.hexpos) {
        s.dumppos = static_cast<int16_t>(s.hexaddr + s.hexpos);
        s.hexbyte = file1[static_cast<size_t>(s.dumppos - 1)];
        s.hexsum = static_cast<int16_t>((s.hexsum + s.hexbyte) % 256);
        s.bytestr = formato(s.hexbyte);
        file2 += s.bytestr;
    }
    s.hexsum = static_cast<int16_t>((256 - s.hexsum) % 256);
    s.sumstr = formato(s.hexsum);
    file2 += s.sumstr + "\r\n";
}

// A record of `count` bytes at a byte address, in the same format: the ID
// locations and the configuration word, so that a dump restores them too.
void send_bytes(std::string& file2, int address, const uint8_t* bytes, int count) {
    int sum = count + (address >> 8) + (address & 255);
    file2 += ":" + formato(count) + formato(address >> 8) + formato(address & 255) + "00";
    for (int i = 0; i < count; ++i) {
        sum += bytes[i];
        file2 += formato(bytes[i]);
    }
    file2 += formato((256 - sum % 256) % 256) + "\r\n";
}

// The original chips' HEX dump: program memory and data memory as 16-byte
// records of the read-out image, the ID locations and the configuration
// word as a record each at their HEX addresses.
std::string hexrecords(State& s, const ChipRow& row, const std::vector<uint8_t>& file1,
                       const DumpSink& sink) {
    std::string file2;
    s.dumppos = 1;
    s.hexsum = 0;
    auto region = [&](Region r) {
        const int32_t base = regionbase(r);
        for (int32_t a = base; a < base + 2 * readoutwords(row, r); a += 16) {
            s.hexaddr = static_cast<int16_t>(a);
            send_hex(s, file1, file2);
        }
    };
    region(Region::program);
    const int32_t idbase = regionbase(Region::id), configbase = regionbase(Region::config);
    std::vector<uint8_t> ids(sink.idbytes.size());
    for (size_t i = 0; i < ids.size(); ++i)
        ids[i] = sink.idseen[i] ? sink.idbytes[i] : file1[idbase + i];
    send_bytes(file2, 2 * idbase, ids.data(), static_cast<int>(ids.size()));
    send_bytes(file2, 2 * configbase, &file1[configbase], 2 * readoutwords(row, Region::config));
    region(Region::data);
    file2 += ":00000001FF\r\n";
    return file2;
}

// The read-out of a chip other than the original four: each word at its
// HEX byte address (program word a at 2a, IDs at 0x4000, the configuration
// word(s) at 0x400E, data byte k at 0x4200 + 2k), the whole chip.
size_t wholesize(const ChipRow& row) {
    return 2 * static_cast<size_t>(regionbase(Region::data) + readoutwords(row, Region::data));
}

std::string wholehexrecords(const ChipRow& row, const std::vector<uint8_t>& file1) {
    std::string file2;
    for (const Region r : allregions) {
        const int from = 2 * regionbase(r), bytes = 2 * readoutwords(row, r);
        // The ID locations and the configuration words go as one record
        // each; program memory from 0x10000 on (the 16F648A's and 87/88's
        // upper half stays below it) would need an extended address.
        if (r == Region::id || r == Region::config) {
            send_bytes(file2, from, &file1[static_cast<size_t>(from)], bytes);
            continue;
        }
        for (int a = from; a < from + bytes; a += 16)
            send_bytes(file2, a, &file1[static_cast<size_t>(a)], std::min(16, from + bytes - a));
    }
    file2 += ":00000001FF\r\n";
    return file2;
}

void announce(State& s, Frontend& f, bool withtemp) {
    f.windowRepaint();
    f.statusClear();
    f.statusAdd("Dumping contents of PIC to:");
    if (withtemp) f.statusAdd("Using temp-file: " + s.tempfile);
    f.statusAdd(s.dumpfile);
    f.statusRepaint();
}

// The HEX dump's temporary file: a name of this run's own in the temporary
// directory, created exclusively with mode 0600 (O_EXCL never follows a link
// another user left there, nor opens a file another run is using), and
// removed on every way out, an interruption that unwinds through the dump
// included.
struct TempFile {
    std::string name;
    int fd = -1;

    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (fd >= 0) close(fd);
        if (!name.empty()) unlink(name.c_str());
    }
};

// `tempfile` names the directory (start-up gives "<dir>/quibb.tmp"); the
// file made there is "<dir>/quibb-XXXXXX.tmp".
bool maketemp(const std::string& tempfile, TempFile& t) {
    const size_t slash = tempfile.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : tempfile.substr(0, slash);
    std::string name = dir + "/quibb-XXXXXX.tmp";
    const int fd = mkostemps(name.data(), 4, O_CLOEXEC);
    if (fd < 0) return false;
    t.name = name;
    t.fd = fd;
    return true;
}

void blanking(Frontend& f) {
    f.statusAdd("Blanking file...");
    f.statusRepaint();
}

}  // namespace

int32_t dumpposition(const State& s, int32_t address) {
    if (!isoriginal(currentchip(s))) return 2 * address + 1;
    const int32_t base = regionbase(regionat(address));
    return base + 2 * (address - base) + 1;
}

std::string formato(int numero) {
    std::string text = hexupper(static_cast<uint32_t>(numero));
    if (text.size() == 1) text = "0" + text;
    return text;
}

bool save_bin(State& s, Frontend& f, const ChipReader& read) {
    ReadOut ignored;
    return save_bin(s, f, read, ignored);
}

bool save_hex(State& s, Frontend& f, const ChipReader& read) {
    ReadOut ignored;
    return save_hex(s, f, read, ignored);
}

bool save_bin(State& s, Frontend& f, const ChipReader& read, ReadOut& readout) {
    s.configused = 1;
    s.dumppos = 1;
    announce(s, f, false);

    // A target that cannot take the file is found before the chip is read.
    output::File out;
    std::string why;
    if (!out.open(s.dumpfile, why)) return fileerror(f, "File error");
    blanking(f);
    const ChipRow& row = currentchip(s);
    std::vector<uint8_t> image(isoriginal(row) ? blanksize : wholesize(row), 0);

    DumpSink sink(s, image);
    if (!read(sink)) return false;  // stopped: `out` goes away
    if (sink.error != 0 || !out.write(reinterpret_cast<const char*>(image.data()), image.size()) ||
        !out.commit(why))
        return fileerror(f, "File error");
    f.statusAdd("Ok. Save successfull!");
    readout.chip = image;
    readout.file.assign(image.begin(), image.end());
    return true;
}

bool save_hex(State& s, Frontend& f, const ChipReader& read, ReadOut& readout) {
    readoutcounters(s);
    s.dumppos = 1;
    TempFile temp;
    const bool created = maketemp(s.tempfile, temp);
    if (created) s.tempfile = temp.name;
    announce(s, f, true);
    if (!created) return fileerror(f, "File error!");
    blanking(f);

    DumpSink sink(s, temp.fd);
    // A stopped read-out leaves nothing behind: `temp` removes its file.
    if (!read(sink)) return false;
    if (sink.error != 0) return fileerror(f, "File error!");
    f.statusAdd("Ok. Save successfull!");

    const ChipRow& row = currentchip(s);
    std::vector<uint8_t> file1;
    if (!readback(temp.fd, file1, isoriginal(row) ? readoutsize(row) : wholesize(row)))
        return fileerror(f, "File error!");

    const std::string records =
        isoriginal(row) ? hexrecords(s, row, file1, sink) : wholehexrecords(row, file1);
    if (!writedump(s.dumpfile, records)) return fileerror(f, "File error!");
    readout.chip = std::move(file1);
    readout.file = records;
    return true;
}
