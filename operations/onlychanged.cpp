#include "onlychanged.h"

#include "core/lines.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "image/image.h"
#include "operations/program.h"

namespace {

struct Region {
    int32_t base;
    const int16_t* image;
    int16_t count;
    int16_t mask;
    uint8_t writecommand;
    uint8_t readcommand;
};

int16_t readword(State& s, uint8_t readcommand, int16_t mask) {
    sendcmd(s, readcommand);
    return static_cast<int16_t>(recvdata(s) & mask);
}

// The counter is left where a burn's region pass leaves it: base + count.
bool changedregion(State& s, Frontend& f, const Region& r, ChangedCount& n) {
    modeline(f, modeprogram);
    f.progressValue(0);
    f.progressMax(r.count + 1);
    for (int16_t i = 0; i < r.count; ++i) {
        if (stop::requested()) return false;
        f.progressValue(i);
        const int16_t expected = static_cast<int16_t>(r.image[i] & r.mask);
        ++n.compared;
        if (readword(s, r.readcommand, r.mask) != expected) {
            progcycle(s, r.writecommand, expected);
            ++n.programmed;
            const int16_t v = readword(s, r.readcommand, r.mask);
            if (v != expected) {
                reportmismatch(f, r.base + i, expected, v);
                return false;
            }
        }
        sendcmd(s, s.cmdincaddr);
    }
    return true;
}

}  // namespace

// Entries into programming mode and moves of the counter as in program2, so
// the configuration word still comes last.
bool programchanged(State& s, Frontend& f, ChangedCount& n) {
    n = ChangedCount{};
    vppreset(s);
    f.statusClear();
    regionline(f, "Program memory: ");
    bool ok = changedregion(s, f, {progbase, s.progmem, s.progused, 0x3FFF, s.cmdloadprog,
                                   s.cmdreadprog}, n);
    if (ok) {
        toconfigspace(s);
        regionline(f, "ID memory: ");
        ok = changedregion(s, f, {idbase, s.idmem, s.idused, 0x3FFF, s.cmdloadprog,
                                  s.cmdreadprog}, n);
    }
    if (ok) {
        vppreset(s);
        regionline(f, "Data memory: ");
        ok = changedregion(s, f, {database, s.datamem, s.dataused, 0xFF, s.cmdloaddata,
                                  s.cmdreaddata}, n);
    }
    if (ok) {
        vppreset(s);
        toconfigspace(s);
        for (int i = 0; i < 7; ++i) sendcmd(s, s.cmdincaddr);
        regionline(f, "Configuration memory: ");
        ok = changedregion(s, f, {configbase, s.configmem, s.configused, s.configmask,
                                  s.cmdloadprog, s.cmdreadprog}, n);
    }
    if (ok) successlines(f, modeprogram);
    allpinslow(s);
    return ok;
}
