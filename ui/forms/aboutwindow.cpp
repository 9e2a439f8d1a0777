#include "ui/forms/aboutwindow.h"

#include "ui/dialogs/dialogs.h"
#include "ui/forms/buildinfo.h"
#include "ui/forms/twips.h"
#include "ui/platform/sysinfo.h"

#include <QColor>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidgetItem>

#include <algorithm>

namespace tolvana::ui {

namespace {

QLabel* AddLabel(QWidget* window, const char* name, const QString& text) {
    auto* label = new QLabel(text, window);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

// One member of the line array "Line1": a solid horizontal line. Its colour
// comes from the palette, so it follows light, dark and high-contrast
// desktops: the shadow is halfway between the text and its background (grey
// 128 in black on white), the light line is the background itself.
class EtchLine : public QWidget {
public:
    EtchLine(QWidget* window, int index, bool shadow) : QWidget(window), shadow_(shadow) {
        setObjectName(QStringLiteral("Line1"));
        setProperty("index", index);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const QColor base = palette().color(QPalette::Base);
        const QColor text = palette().color(QPalette::Text);
        const auto half = [](int a, int b) { return (a + b + 1) / 2; };
        const QColor colour =
            shadow_ ? QColor(half(base.red(), text.red()), half(base.green(), text.green()),
                             half(base.blue(), text.blue()))
                    : base;
        QPainter(this).fillRect(rect(), colour);
    }

private:
    bool shadow_;
};

// The design of the window, in pixels, and the space between its parts.
constexpr QRect kClient = TwipsRect(2340, 1935, 5730, 3555);
constexpr QRect kOk = TwipsRect(4245, 2625, 1260, 345);
constexpr QRect kSysInfo = TwipsRect(4260, 3075, 1245, 345);
constexpr QRect kDescription = TwipsRect(1050, 1125, 3885, 1170);
constexpr QRect kDisclaimer = TwipsRect(255, 2625, 3870, 825);
constexpr QRect kTitle = TwipsRect(1320, 240, 3885, 480);
constexpr QRect kVersion = TwipsRect(1050, 780, 3885, 225);
// "Licenser…", in the lower part of the description's box that its lines
// leave free.
constexpr QRect kLicenses = TwipsRect(1050, 1950, 1245, 345);
constexpr int kLicensesBelowText = 2;
constexpr QPoint kPicture(TwipsToPixels(360), TwipsToPixels(120));
constexpr int kShadowLeft = TwipsToPixels(90);
constexpr int kLightLeft = TwipsToPixels(105);
constexpr int kLinesRight = TwipsToPixels(5654);
constexpr int kShadowTop = TwipsToPixels(2445);
constexpr int kLightTop = TwipsToPixels(2460);

constexpr int kTitleToVersion = kVersion.top() - (kTitle.top() + kTitle.height());
constexpr int kVersionToDescription = kDescription.top() - (kVersion.top() + kVersion.height());
constexpr int kDescriptionToLine = kShadowTop - (kDescription.top() + kDescription.height());
constexpr int kLineToBottomRow = kOk.top() - kShadowTop;
constexpr int kButtonGap = kSysInfo.top() - (kOk.top() + kOk.height());
constexpr int kButtonsRight = kClient.width() - (kOk.left() + kOk.width());
constexpr int kDisclaimerToButtons = kOk.left() - (kDisclaimer.left() + kDisclaimer.width());
constexpr int kBelowButtons = kClient.height() - (kSysInfo.top() + kSysInfo.height());
constexpr int kBelowDisclaimer = kClient.height() - (kDisclaimer.top() + kDisclaimer.height());

// The design at its size; wider, with the texts and buttons as their font
// needs them, and taller where the window is made taller: the labels take
// the extra width, the description the extra height, and the buttons keep
// to the lower right corner.
class AboutLayout : public QLayout {
public:
    struct Controls {
        QLabel *picture, *title, *version, *description, *disclaimer;
        QPushButton *ok, *sysInfo, *licenses;
        QWidget *shadow, *light;
    };

    AboutLayout(QWidget* window, const Controls& c) : QLayout(window), c_(c) {
        setContentsMargins(0, 0, 0, 0);
        for (QWidget* w : {static_cast<QWidget*>(c.picture), static_cast<QWidget*>(c.title),
                           static_cast<QWidget*>(c.version), static_cast<QWidget*>(c.description),
                           static_cast<QWidget*>(c.disclaimer), static_cast<QWidget*>(c.ok),
                           static_cast<QWidget*>(c.sysInfo), static_cast<QWidget*>(c.licenses),
                           c.shadow, c.light}) {
            addChildWidget(w);
            items_ << new QWidgetItem(w);
        }
    }
    ~AboutLayout() override { qDeleteAll(items_); }

    QSize sizeHint() const override {
        const int width = leastWidth();
        return {width, place(width, 0, false)};
    }
    QSize minimumSize() const override { return sizeHint(); }
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal | Qt::Vertical; }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        const int width = std::max(rect.width(), leastWidth());
        const int extra = std::max(0, rect.height() - place(width, 0, false));
        place(width, extra, true);
    }

    void addItem(QLayoutItem* item) override { items_ << item; }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override {
        return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
    }
    int count() const override { return int(items_.size()); }

private:
    QSize okSize() const { return c_.ok->sizeHint().expandedTo(kOk.size()); }
    QSize sysInfoSize() const { return c_.sysInfo->sizeHint().expandedTo(kSysInfo.size()); }

    int leastWidth() const {
        const int buttons = std::max(okSize().width(), sysInfoSize().width());
        return std::max(kClient.width(), kDisclaimer.left() + kDisclaimer.width() +
                                             kDisclaimerToButtons + buttons + kButtonsRight);
    }

    // Lays the controls out for a client area `width` wide, with `extra`
    // height for the description, and returns the height it takes; moves
    // the controls only where `apply`.
    int place(int width, int extra, bool apply) const {
        const int dx = width - kClient.width();
        const auto set = [apply](QWidget* w, int x, int y, int wide, int high) {
            if (apply) w->setGeometry(x, y, wide, high);
        };
        const auto high = [](const QLabel* label, int wide, int least) {
            return std::max(least, label->heightForWidth(wide));
        };
        set(c_.picture, kPicture.x(), kPicture.y(), c_.picture->sizeHint().width(),
            c_.picture->sizeHint().height());
        const int titleWidth = kTitle.width() + dx;
        const int titleHeight = high(c_.title, titleWidth, kTitle.height());
        set(c_.title, kTitle.left(), kTitle.top(), titleWidth, titleHeight);
        const int versionTop = kTitle.top() + titleHeight + kTitleToVersion;
        const int versionWidth = kVersion.width() + dx;
        const int versionHeight = high(c_.version, versionWidth, kVersion.height());
        set(c_.version, kVersion.left(), versionTop, versionWidth, versionHeight);
        const int descriptionTop = versionTop + versionHeight + kVersionToDescription;
        const int descriptionWidth = kDescription.width() + dx;
        // The button inside the description's box, below its lines: where
        // the design has it, or lower where the lines need more room.
        const int textHeight = c_.description->heightForWidth(descriptionWidth);
        const int licensesOffset = std::max(kLicenses.top() - kDescription.top(),
                                            textHeight + kLicensesBelowText);
        const QSize licenses = c_.licenses->sizeHint().expandedTo(kLicenses.size());
        set(c_.licenses, kDescription.left(), descriptionTop + licensesOffset, licenses.width(),
            licenses.height());
        const int descriptionHeight =
            std::max(kDescription.height(), licensesOffset + licenses.height()) + extra;
        set(c_.description, kDescription.left(), descriptionTop, descriptionWidth,
            descriptionHeight);

        const int lineTop = descriptionTop + descriptionHeight + kDescriptionToLine;
        const int linesRight = kLinesRight + dx;
        set(c_.shadow, kShadowLeft, lineTop, linesRight - kShadowLeft, 1);
        set(c_.light, kLightLeft, lineTop + (kLightTop - kShadowTop), linesRight - kLightLeft, 2);

        const int rowTop = lineTop + kLineToBottomRow;
        const QSize ok = okSize();
        const QSize sysInfo = sysInfoSize();
        const int okLeft = width - kButtonsRight - ok.width();
        const int sysInfoLeft = width - kButtonsRight - sysInfo.width();
        set(c_.ok, okLeft, rowTop, ok.width(), ok.height());
        const int sysInfoTop = rowTop + ok.height() + kButtonGap;
        set(c_.sysInfo, sysInfoLeft, sysInfoTop, sysInfo.width(), sysInfo.height());
        const int disclaimerWidth =
            std::min(okLeft, sysInfoLeft) - kDisclaimerToButtons - kDisclaimer.left();
        const int disclaimerHeight = high(c_.disclaimer, disclaimerWidth, kDisclaimer.height());
        set(c_.disclaimer, kDisclaimer.left(), rowTop, disclaimerWidth, disclaimerHeight);
        return std::max(sysInfoTop + sysInfo.height() + kBelowButtons,
                        rowTop + disclaimerHeight + kBelowDisclaimer);
    }

    Controls c_;
    QList<QLayoutItem*> items_;
};

} // namespace

QString VersionText() {
    return QStringLiteral("Version %1.%2.%3")
        .arg(TOLVANA_VERSION_MAJOR)
        .arg(TOLVANA_VERSION_MINOR)
        .arg(TOLVANA_VERSION_PATCH);
}

QString DescriptionText() {
    return QStringLiteral("Tolvana turns a short text into a number cipher and back.\n"
                          "Built from commit %1.\n"
                          "Licence: LicenseRef-proprietary.")
        .arg(BuildCommit().left(12));
}

QImage AboutPicture() {
    // A sheet of numbered lines next to a padlock: text that is locked away
    // in numbers.
    QImage image(57, 32, QImage::Format_RGB32);
    image.fill(QColor(32, 64, 128));
    QPainter painter(&image);

    painter.fillRect(4, 4, 26, 24, QColor(250, 246, 230));
    const QColor digits[] = {QColor(200, 40, 40), QColor(40, 140, 60), QColor(40, 80, 200)};
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 4; ++column) {
            const QColor& colour = digits[(row + column) % 3];
            painter.fillRect(7 + column * 6, 7 + row * 4, 4, 2, colour);
        }
    }

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(200, 200, 210), 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRect(38, 5, 12, 14), 0, 180 * 16);
    painter.drawLine(38, 12, 38, 15);
    painter.drawLine(50, 12, 50, 15);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 180, 30));
    painter.drawRoundedRect(QRectF(35, 14, 18, 14), 2, 2);
    painter.setBrush(QColor(60, 40, 10));
    painter.drawEllipse(QRectF(42, 18, 4, 4));
    painter.drawRect(QRectF(43, 21, 2, 4));
    return image;
}

AboutWindow::AboutWindow(Dialogs& dialogs, SystemTools& tools)
    // A tool window has no taskbar entry; without minimize and maximize
    // buttons it is a plain dialog frame, which the user may make larger.
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), tools_(tools) {
    setObjectName(QStringLiteral("frmAbout"));
    // Qt does not let tool windows keep the program running; this one must,
    // like any other window, when the main window has closed.
    setAttribute(Qt::WA_QuitOnClose, true);
    setAttribute(Qt::WA_MacAlwaysShowToolWindow, true);
    // The window's surface and its labels are the palette's background for
    // text, white in a light desktop, and follow a dark or high-contrast one.
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
    setAutoFillBackground(true);

    // Created in tab order: only the two buttons take the focus.
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    auto* sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(sysInfo, &QPushButton::clicked, this, [this] { startSysInfo(); });
    setTabOrder(ok, sysInfo);

    // The third button in the tab order.
    auto* licenses = new QPushButton(QStringLiteral("Licenser…"), this);
    licenses->setObjectName(QStringLiteral("cmdLicenses"));
    licenses->setAutoDefault(false);
    connect(licenses, &QPushButton::clicked, this, [this] { showLicenses(); });
    setTabOrder(sysInfo, licenses);

    QLabel* description = AddLabel(this, "lblDescription", DescriptionText());
    QLabel* disclaimer =
        AddLabel(this, "lblDisclaimer",
                 QStringLiteral("The cipher has no key: anyone with Tolvana can read it."));
    QLabel* title = AddLabel(this, "tolvana1", QStringLiteral("Olmira"));
    QLabel* version = AddLabel(this, "lblVersion", QString());

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(QPixmap::fromImage(AboutPicture()));

    // An etched separator: a grey line with a light one just below it.
    auto* shadow = new EtchLine(this, 1, true);
    auto* light = new EtchLine(this, 0, false);

    auto* layout = new AboutLayout(
        this,
        {picture, title, version, description, disclaimer, ok, sysInfo, licenses, shadow, light});

    ok->setFocus();
    load();
    // At its place on the screen, at the design's size or larger where the
    // texts need it.
    setGeometry(QRect(kClient.topLeft(), layout->sizeHint()));
}

void AboutWindow::load() {
    setWindowTitle(QStringLiteral("About ") + QLatin1String(kApplicationTitle));
    findChild<QLabel*>(QStringLiteral("lblVersion"))->setText(VersionText());
}

void AboutWindow::showLicenses() {
    if (!licenses_) {
        licenses_ = new LicenseWindow(this);
        licenses_->setAttribute(Qt::WA_DeleteOnClose);
    }
    licenses_->show();
    licenses_->raise();
    licenses_->activateWindow();
}

LicenseWindow::LicenseWindow(QWidget* parent) : QDialog(parent), text_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("frmLicenses"));
    setWindowTitle(QStringLiteral("Licenser"));
    // Wide enough for a licence's 80-character lines in a fixed-width font.
    text_->setObjectName(QStringLiteral("txtLicenses"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setPlainText(LicenseNotices());
    const int width = text_->fontMetrics().horizontalAdvance(QString(82, u'0'));
    resize(width + 60, 480);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("Stäng"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(buttons);
    text_->setFocus();
}

void AboutWindow::startSysInfo() {
    StartSysInfo(tools_, [this](const std::string& title, const std::string& text) {
        dialogs_.message(this, QString::fromStdString(title), QString::fromStdString(text),
                         Dialogs::Icon::None);
    });
}

} // namespace tolvana::ui
