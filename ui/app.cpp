#include "app.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "core/binding.h"
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

}  // namespace

int runwindow(int argc, char** argv, const Overrides& overrides, bool quitAfterStart) {
    if (quitAfterStart) qAddPreRoutine(&armquit);
    QApplication app(argc, argv);
    // The window was laid out for classic frames with the caption set into
    // the top line; a style the user asks for explicitly still wins.
    if (!std::getenv("QT_STYLE_OVERRIDE"))
        if (QStyle* classic = QStyleFactory::create("Windows")) QApplication::setStyle(classic);
    // A missing port library ends the program at the first port access,
    // inside start-up: say why on standard error and in a box.
    binding::setFailureHandler([](const std::string& message) {
        std::fprintf(stderr, "quibb9x: %s\n", message.c_str());
        if (qApp)
            QMessageBox::critical(nullptr, "quibb9x", QString::fromStdString(message));
    });
    MainWindow window(overrides);
    window.show();
    return app.exec();
}
