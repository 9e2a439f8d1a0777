#include "ui/forms/windowplace.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace tolvana::ui {
namespace {

const QString kGeometry = QStringLiteral("MainWindow/geometry");
const QString kMaximized = QStringLiteral("MainWindow/maximized");
// What the window system's frame adds to the window's size, as it was last.
const QString kFrame = QStringLiteral("MainWindow/frame");

QSettings UserSettings() {
    return QSettings(QSettings::UserScope, QStringLiteral("Tolvana"), QStringLiteral("Tolvana"));
}

// Saves the window's place when it is closed; a minimised window is hidden
// by the window system, which is no close.
class PlaceKeeper : public QObject {
public:
    explicit PlaceKeeper(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Hide && !event->spontaneous()) {
            QSettings settings = UserSettings();
            settings.setValue(kGeometry, window_.normalGeometry());
            settings.setValue(kMaximized, window_.isMaximized());
            if (!window_.isMaximized())
                settings.setValue(kFrame, window_.frameGeometry().size() - window_.size());
        }
        return false;
    }

private:
    QWidget& window_;
};

int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }

} // namespace

QRect PlaceOnScreens(const QRect& saved, const QSize& least, const QList<QRect>& screens,
                     const QSize& frame) {
    if (screens.isEmpty()) return {saved.topLeft(), saved.size().expandedTo(least)};
    QRect screen = screens.first();
    qint64 most = 0;
    for (const QRect& candidate : screens) {
        const QRect common = candidate.intersected(saved);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > most) {
            most = area;
            screen = candidate;
        }
    }
    const QSize room = (screen.size() - frame).expandedTo(least);
    const QSize size = saved.size().expandedTo(least).boundedTo(room);
    const QSize whole = size + frame;
    const int x = Clamp(saved.x(), screen.left(), screen.left() + screen.width() - whole.width());
    const int y = Clamp(saved.y(), screen.top(), screen.top() + screen.height() - whole.height());
    return {QPoint(x, y), size};
}

void RememberPlace(QWidget& window) {
    QSettings settings = UserSettings();
    const QRect saved = settings.value(kGeometry).toRect();
    if (saved.isValid()) {
        QList<QRect> screens;
        if (QScreen* primary = QGuiApplication::primaryScreen())
            screens << primary->availableGeometry();
        for (QScreen* screen : QGuiApplication::screens())
            if (screen != QGuiApplication::primaryScreen()) screens << screen->availableGeometry();
        const QSize frame = settings.value(kFrame).toSize().expandedTo(QSize(0, 0));
        window.setGeometry(PlaceOnScreens(saved, window.minimumSizeHint(), screens, frame));
    }
    if (settings.value(kMaximized, false).toBool())
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    new PlaceKeeper(window);
}

} // namespace tolvana::ui
