#pragma once

// Long work of a command on a thread of its own, while the window goes on
// painting and shows a progress dialog. The command itself stays one piece:
// while it runs, the window takes no input, so no other command can start and
// nothing but the command changes the boxes.

#include "ui/dialogs/dialogs.h"

#include <QObject>

#include <atomic>
#include <functional>

class QWidget;

namespace tolvana::ui {

// What the work sees of the window: whether the user has asked it to stop,
// and where to say how far it has come.
class WorkControl {
public:
    // Thrown by check() once the user has asked the work to stop.
    struct Stopped {};

    // Ends the work by throwing Stopped when the user has asked for it.
    void check() const {
        if (stopRequested()) throw Stopped{};
    }
    // Records that `step` of `steps` steps are done, then check()s.
    void done(double step, int steps) {
        permille_.store(steps > 0 ? static_cast<int>(step * 1000 / steps) : 0,
                        std::memory_order_relaxed);
        check();
    }

    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    void requestStop() { stop_.store(true, std::memory_order_relaxed); }
    double fraction() const { return permille_.load(std::memory_order_relaxed) / 1000.0; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> permille_{0};
};

// Runs `work` on another thread and waits for it with the window's events
// going on, updating `progress`. Returns false when the user stopped the work
// (before, during or right at its end), so that its result is to be dropped.
// An exception that `work` throws is thrown again here.
bool RunInBackground(Progress& progress, const std::function<void(WorkControl&)>& work);

// For as long as it exists, no input reaches `window` (keys, shortcuts, mouse
// buttons, input methods, drops, closing) and `running` is true. Painting,
// scrolling with the wheel and other windows go on.
class CommandGuard : public QObject {
public:
    CommandGuard(QWidget* window, bool& running);
    ~CommandGuard() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool& running_;
};

} // namespace tolvana::ui
