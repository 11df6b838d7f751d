// The few services of the operating system the program needs: the two waits
// and the directory queries. The waits are a seam: tests may install their own
// (recording what was asked and advancing a virtual clock); the program itself
// always really waits.
#pragma once
#include <string>

namespace platform {

struct Waits {
    virtual ~Waits() = default;
    virtual void yield() = 0;               // give up the rest of the time slice
    virtual void sleepMs(int milliseconds) = 0;  // at least that long
};

// The real waits: sched_yield, and a sleep on the monotonic clock that resumes
// after interruptions until the full time has passed.
Waits& realWaits();

// The waits in force; real ones unless a test installed its own.
Waits& waits();
void installWaits(Waits* w);  // nullptr restores the real waits

// Directory queries. Each returns an empty text when the system cannot answer.
std::string currentDirectory();
std::string systemDirectory();     // fallback for the temporary file
std::string temporaryDirectory();
// Where the program keeps state between runs: $XDG_STATE_HOME, else
// $HOME/.local/state; empty when neither is known.
std::string stateDirectory();

}  // namespace platform
