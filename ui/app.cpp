// Placeholder until the main window lands: runs the start-up and exits.
#include "app.h"
#include "core/startup.h"
int runwindow(int, char**, const Overrides&) {
    State s;
    startup(s);
    setdevice(s, 2);
    return 0;
}
