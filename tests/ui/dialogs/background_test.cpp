// Work on another thread: the window's events go on while it runs, "Avbryt"
// stops it, and what it throws arrives on the window's thread.

#include "ui/dialogs/background.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <new>
#include <thread>

namespace tolvana::ui {
namespace {

class HookProgress : public Progress {
public:
    explicit HookProgress(std::function<bool(qint64, double)> hook) : hook_(std::move(hook)) {}
    bool update(qint64 elapsedMs, double done) override { return hook_(elapsedMs, done); }

private:
    std::function<bool(qint64, double)> hook_;
};

class PaintCounter : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

TEST(Background, TheWindowPaintsAndTheProgressMovesWhileTheWorkRuns) {
    PaintCounter window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    std::atomic<bool> release{false};
    int updatesWhileRunning = 0;
    double lastDone = 0;
    int paintsBefore = 0;
    HookProgress progress([&](qint64, double done) {
        if (release) return false;
        lastDone = done;
        if (++updatesWhileRunning == 2) {
            paintsBefore = window.paints;
            window.update();
        } else if (updatesWhileRunning > 2 && window.paints > paintsBefore) {
            release = true; // painted while the work runs: let it end
        }
        return false;
    });
    const bool finished = RunInBackground(progress, [&](WorkControl& work) {
        work.done(1, 2);
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    EXPECT_TRUE(finished);
    EXPECT_TRUE(release.load());
    EXPECT_GT(window.paints, paintsBefore);
    EXPECT_DOUBLE_EQ(lastDone, 0.5);
}

TEST(Background, AvbrytStopsTheWorkAtItsNextCheck) {
    int checks = 0;
    HookProgress progress([](qint64, double) { return true; });
    // Asked at the start, the work never begins.
    EXPECT_FALSE(RunInBackground(progress, [&](WorkControl&) { ++checks; }));
    EXPECT_EQ(checks, 0);

    int updates = 0;
    HookProgress later([&](qint64, double) { return ++updates == 3; });
    std::atomic<bool> stoppedByCheck{false};
    EXPECT_FALSE(RunInBackground(later, [&](WorkControl& work) {
        try {
            for (;;) {
                work.check();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        } catch (const WorkControl::Stopped&) {
            stoppedByCheck = true;
            throw;
        }
    }));
    EXPECT_TRUE(stoppedByCheck.load());
}

TEST(Background, WhatTheWorkThrowsIsThrownOnTheWindowsThread) {
    HookProgress progress([](qint64, double) { return false; });
    EXPECT_THROW(RunInBackground(progress, [](WorkControl&) { throw std::bad_alloc(); }),
                 std::bad_alloc);
    const std::thread::id here = std::this_thread::get_id();
    std::thread::id worker;
    EXPECT_TRUE(
        RunInBackground(progress, [&](WorkControl&) { worker = std::this_thread::get_id(); }));
    EXPECT_NE(worker, here);
}

} // namespace
} // namespace tolvana::ui
