#include "widgets/WaitIndicator.h"

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QThread>
#include <QWidget>

namespace veltra {
namespace {

// The window disabled by the outermost wait; nested waits leave it alone.
QPointer<QWidget> g_disabled;
int g_depth = 0;

bool onGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void waitCallback(int phase, void* /*context*/) {
    handleReaderWait(phase);
}

} // namespace

void handleReaderWait(int phase) {
    // The library may wait on any thread; only the user-interface thread owns the windows.
    if (!onGuiThread()) {
        return;
    }
    switch (phase) {
    case ReaderLink::kWaitBegin:
        if (g_depth++ == 0) {
            QWidget* window = QApplication::activeWindow();
            if (window != nullptr && window->isEnabled()) {
                window->setEnabled(false);
                g_disabled = window;
            }
        }
        break;
    case ReaderLink::kWaitProgress:
        // Paint and timer events only: a click cannot start a second command meanwhile.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        break;
    case ReaderLink::kWaitEnd:
        if (g_depth > 0 && --g_depth == 0 && g_disabled != nullptr) {
            g_disabled->setEnabled(true);
            g_disabled.clear();
        }
        break;
    default:
        break;
    }
}

bool readerWaitActive() {
    return g_depth > 0;
}

void installWaitIndicator(ReaderLink& link) {
    link.setWaitCallback(&waitCallback, nullptr);
}

void removeWaitIndicator(ReaderLink& link) {
    link.setWaitCallback(nullptr, nullptr);
}

} // namespace veltra
