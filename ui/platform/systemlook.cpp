#include "ui/platform/systemlook.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

namespace tolvana::ui {
namespace {

// The relative luminance of a colour and the contrast of two, as WCAG
// defines them: 1 for the same colour, 21 for black on white.
double Luminance(const QColor& colour) {
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Fusion draws a frame in the window colour made 40 % darker, which vanishes
// on a black window. Where the frame would barely show, a line halfway
// between the window and its text is drawn over it.
class VisibleFrames : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_Frame || !FrameHidden(option->palette)) return;
        const QColor window = option->palette.color(QPalette::Window);
        const QColor text = option->palette.color(QPalette::WindowText);
        painter->save();
        painter->setPen(QColor((window.red() + text.red()) / 2, (window.green() + text.green()) / 2,
                               (window.blue() + text.blue()) / 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }

private:
    static bool FrameHidden(const QPalette& palette) {
        const QColor window = palette.color(QPalette::Window);
        return Contrast(window, window.darker(140)) < 1.5;
    }
};

} // namespace

bool AppsUseDarkTheme(Registry& registry) {
    RegKey key = 0;
    if (registry.openKey(kHkeyCurrentUser,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", 0,
                         kKeyRead, key) != kRegSuccess)
        return false;
    unsigned char data[4] = {};
    std::uint32_t type = 0;
    std::uint32_t size = sizeof(data);
    const RegResult read = registry.queryValue(key, "AppsUseLightTheme", type, data, size);
    registry.closeKey(key);
    if (read != kRegSuccess || type != kRegDword || size != sizeof(data)) return false;
    return (data[0] | data[1] | data[2] | data[3]) == 0;
}

QPalette DarkPalette() {
    const QColor window(45, 45, 45), base(30, 30, 30), button(60, 60, 60);
    const QColor text(235, 235, 235), disabled(140, 140, 140);
    const QColor highlight(38, 112, 200), link(110, 170, 255);
    QPalette palette(window);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool off = group == QPalette::Disabled;
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::WindowText, off ? disabled : text);
        palette.setColor(group, QPalette::Base, base);
        palette.setColor(group, QPalette::AlternateBase, window);
        palette.setColor(group, QPalette::Text, off ? disabled : text);
        palette.setColor(group, QPalette::PlaceholderText, disabled);
        palette.setColor(group, QPalette::Button, button);
        palette.setColor(group, QPalette::ButtonText, off ? disabled : text);
        palette.setColor(group, QPalette::BrightText, Qt::white);
        palette.setColor(group, QPalette::Highlight, off ? button : highlight);
        palette.setColor(group, QPalette::HighlightedText, off ? disabled : Qt::white);
        palette.setColor(group, QPalette::ToolTipBase, base);
        palette.setColor(group, QPalette::ToolTipText, text);
        palette.setColor(group, QPalette::Link, link);
        palette.setColor(group, QPalette::LinkVisited, link.darker(120));
        palette.setColor(group, QPalette::Light, QColor(90, 90, 90));
        palette.setColor(group, QPalette::Midlight, QColor(75, 75, 75));
        palette.setColor(group, QPalette::Mid, QColor(55, 55, 55));
        palette.setColor(group, QPalette::Dark, QColor(20, 20, 20));
        palette.setColor(group, QPalette::Shadow, Qt::black);
    }
    return palette;
}

void FollowSystemLook(const SystemLook& look) {
    const bool dark = look.dark && !look.highContrast;
    // Otherwise the style the platform, or the user, chose.
    QStyle* current = QApplication::style();
    if (auto* proxy = qobject_cast<QProxyStyle*>(current)) current = proxy->baseStyle();
    QStyle* base = QStyleFactory::create(dark ? QStringLiteral("Fusion") : current->name());
    QApplication::setStyle(new VisibleFrames(base));
    if (dark) QApplication::setPalette(DarkPalette());
}

} // namespace tolvana::ui
