#include "app.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
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

// Whether the window has somewhere to go: an X or Wayland display, or a
// platform asked for by name (-platform offscreen, QT_QPA_PLATFORM). Without
// one the toolkit would abort the program.
bool displaygiven(int argc, char** argv) {
    if (isset("DISPLAY") || isset("WAYLAND_DISPLAY") || isset("QT_QPA_PLATFORM")) return true;
    // The toolkit reads these options only as two arguments, never "=value".
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        for (const char* option : {"-platform", "--platform", "-display", "--display"})
            if (arg == option) return true;
    }
    return false;
}

}  // namespace

int runwindow(int argc, char** argv, const Overrides& overrides, bool quitAfterStart) {
    if (!displaygiven(argc, argv)) {
        std::fprintf(stderr,
                     "quibb9x: there is no display to show the window on (neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set); the command line needs none: see 'quibb9x --help'\n");
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
    return app.exec();
}
