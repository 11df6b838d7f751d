#include "deviceid.h"

#include "core/lines.h"
#include "core/protocol.h"
#include "operations/program.h"

int16_t readdeviceid(State& s) {
    vppreset(s);
    toconfigspace(s);
    for (int i = 0; i < deviceidaddress - 0x2000; ++i) sendcmd(s, s.cmdincaddr);
    sendcmd(s, s.cmdreadprog);
    const int16_t id = static_cast<int16_t>(recvdata(s) & 0x3FFF);
    allpinslow(s);
    return id;
}

bool isf84a(int16_t id) { return (id & 0x3FE0) == 0x0560; }

std::string describedeviceid(int16_t id) {
    if (isf84a(id)) return "PIC16F84A, revision " + std::to_string(id & 0x1F);
    if (id == 0x3FFF)
        return "no device ID (a PIC16F84, PIC16C84 or PIC16F83, or an empty socket)";
    return "not a device ID this program knows";
}
