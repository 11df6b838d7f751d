#include "detect.h"

#include "lines.h"

int16_t detecthardware(State& s) {
    datawritable(s);
    dataup(s);
    delay(10);
    const int16_t first = datain(s);
    if (first == 1) return 0;
    datareadable(s);
    dataup(s);
    delay(10);
    const int16_t second = datain(s);
    return second != 0 ? 1 : 0;
}
