#include <cstring>

#include "core/binding.h"
#include "ui/app.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--simulate") == 0) binding::chooseSimulated();
    return runwindow(argc, argv);
}
