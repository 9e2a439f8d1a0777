#include "ui/dialogs/background.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <exception>
#include <thread>

namespace tolvana::ui {

bool RunInBackground(Progress& progress, const std::function<void(WorkControl&)>& work) {
    WorkControl control;
    if (progress.update(0, 0)) return false;

    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread thread([&] {
        try {
            work(control);
        } catch (const WorkControl::Stopped&) {
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    QTimer timer;
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (!control.stopRequested() && progress.update(clock.elapsed(), control.fraction()))
            control.requestStop();
    });
    timer.start();
    loop.exec();
    thread.join();
    timer.stop();

    if (failure) std::rethrow_exception(failure);
    if (!control.stopRequested() && progress.update(clock.elapsed(), 1.0)) control.requestStop();
    return !control.stopRequested();
}

CommandGuard::CommandGuard(QWidget* window, bool& running) : window_(window), running_(running) {
    running_ = true;
    qApp->installEventFilter(this);
}

CommandGuard::~CommandGuard() {
    qApp->removeEventFilter(this);
    running_ = false;
}

bool CommandGuard::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close: break;
    default: return false;
    }
    bool ours = false;
    if (auto* widget = qobject_cast<QWidget*>(watched))
        ours = widget->window() == window_;
    else if (auto* surface = qobject_cast<QWindow*>(watched))
        ours = window_->windowHandle() == surface;
    if (!ours) return false;
    // An accepted override keeps a shortcut from firing; the key itself is
    // then dropped as well.
    if (event->type() == QEvent::ShortcutOverride)
        event->accept();
    else
        event->ignore();
    return true;
}

} // namespace tolvana::ui
