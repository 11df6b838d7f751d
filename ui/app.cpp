// SPDX-License-Identifier: GPL-2.0-or-later
#include "app.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>

#include "core/binding.h"
#include "core/stop.h"
#include "ui/mainwindow.h"

namespace {

// The window quits at its first event-loop turn (for the start-up
// benchmark). Events handled before the loop runs do not count as a turn.
void quitwhenlooping() {
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::quit();
    else
        QTimer::singleShot(0, &quitwhenlooping);
}
void armquit() { QTimer::singleShot(0, &quitwhenlooping); }

bool isset(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool platformnamed(int argc, char** argv) {
    if (isset("QT_QPA_PLATFORM")) return true;
    // The toolkit reads these options only as two arguments, never "=value".
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        for (const char* option : {"-platform", "--platform", "-display", "--display"})
            if (arg == option) return true;
    }
    return false;
}

// Whether the X display that DISPLAY names answers, asked as the toolkit's
// own connection would ask it. True when that cannot be told (no libxcb):
// the toolkit then tries for itself.
bool xdisplayanswers() {
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) return true;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    const auto haserror = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool answers = true;
    if (connect && haserror && disconnect) {
        void* c = connect(nullptr, nullptr);
        answers = c && haserror(c) == 0;
        if (c) disconnect(c);  // an erroneous connection is freed the same way
    }
    dlclose(xcb);
    return answers;
}

// Why the window has nowhere to go, or empty: neither an X nor a Wayland
// display, nor a platform asked for by name (-platform offscreen,
// QT_QPA_PLATFORM), or an X display that does not answer. Without one the
// toolkit would abort the program.
std::string nodisplay(int argc, char** argv) {
    if (platformnamed(argc, argv) || isset("WAYLAND_DISPLAY")) return {};
    if (!isset("DISPLAY"))
        return "there is no display to show the window on (neither DISPLAY nor "
               "WAYLAND_DISPLAY is set)";
    if (!xdisplayanswers())
        return std::string("the display '") + std::getenv("DISPLAY") +
               "' (DISPLAY) does not answer, so the window cannot be shown; check that its "
               "X server runs and lets you in";
    return {};
}

}  // namespace

int runwindow(int argc, char** argv, const Overrides& overrides, bool quitAfterStart) {
    if (const std::string why = nodisplay(argc, argv); !why.empty()) {
        std::fprintf(stderr, "quibb9x: %s; the command line needs none: see 'quibb9x --help'\n",
                     why.c_str());
        return 1;
    }
    if (quitAfterStart) qAddPreRoutine(&armquit);
    stop::catchsignals();
    QApplication app(argc, argv);
    // The window was laid out for classic frames with the caption set into
    // the top line; a style the user asks for explicitly still wins.
    if (!std::getenv("QT_STYLE_OVERRIDE"))
        if (QStyle* classic = QStyleFactory::create("Windows")) QApplication::setStyle(classic);
    // A missing port library ends the program at the first port access,
    // inside start-up: say why on standard error and in a box.
    binding::setFailureHandler([](const std::string& message) {
        std::fprintf(stderr, "quibb9x: %s\n", message.c_str());
        if (!qApp) return;
        const auto box = [&] {
            QMessageBox::critical(nullptr, "quibb9x", QString::fromStdString(message));
        };
        if (QThread::currentThread() == qApp->thread()) {
            box();
            return;
        }
        // Met by an operation on its worker thread: the box belongs to the
        // window's thread, and the program ends here without unwinding
        // under the running window.
        QMetaObject::invokeMethod(qApp, box, Qt::BlockingQueuedConnection);
        std::fflush(stderr);
        std::_Exit(1);
    });
    MainWindow window(overrides);
    window.show();
    const int status = app.exec();
    // Closed by a signal: the command line's status for it (130, or 128 + n
    // for a hang-up, a quit or a closed output).
    return stop::signalled() ? stop::exitstatus() : status;
}
