#include "ui/forms/aboutwindow.h"

#include "ui/dialogs/dialogs.h"
#include "ui/forms/buildinfo.h"
#include "ui/forms/twips.h"
#include "ui/platform/sysinfo.h"

#include <QColor>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvana::ui {

namespace {

// The window and its labels take the colour of title-bar text, white in the
// classic desktop colours. Text stays black so that it reads on it whatever
// the desktop's theme.
const QColor kBackground = Qt::white;
const QColor kText = Qt::black;
const QColor kEtchShadow(128, 128, 128);
const QColor kEtchLight = Qt::white;

QLabel* AddLabel(QWidget* window, const char* name, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, window);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

// One member of the line array "Line1": a solid horizontal line from `left` to
// `right` (exclusive) at `top`, `width` pixels thick, given in twips.
void AddLine(QWidget* window, int index, int left, int right, int top, int width,
             const QColor& colour) {
    auto* line = new QWidget(window);
    line->setObjectName(QStringLiteral("Line1"));
    line->setProperty("index", index);
    const int x = TwipsToPixels(left);
    line->setGeometry(x, TwipsToPixels(top), TwipsToPixels(right) - x, width);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
}

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
    // buttons and with a fixed size it is a plain dialog frame.
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), tools_(tools) {
    setObjectName(QStringLiteral("frmAbout"));
    // Qt does not let tool windows keep the program running; this one must,
    // like any other window, when the main window has closed.
    setAttribute(Qt::WA_QuitOnClose, true);
    setAttribute(Qt::WA_MacAlwaysShowToolWindow, true);
    setGeometry(TwipsRect(2340, 1935, 5730, 3555));
    setFixedSize(size());

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    palette.setColor(QPalette::WindowText, kText);
    setPalette(palette);
    setAutoFillBackground(true);

    // Created in tab order: only the two buttons take the focus.
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setGeometry(TwipsRect(4245, 2625, 1260, 345));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    auto* sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setGeometry(TwipsRect(4260, 3075, 1245, 345));
    connect(sysInfo, &QPushButton::clicked, this, [this] { startSysInfo(); });
    setTabOrder(ok, sysInfo);

    AddLabel(this, "lblDescription", DescriptionText(), TwipsRect(1050, 1125, 3885, 1170));
    AddLabel(this, "lblDisclaimer",
             QStringLiteral("The cipher has no key: anyone with Tolvana can read it."),
             TwipsRect(255, 2625, 3870, 825));
    AddLabel(this, "tolvana1", QStringLiteral("Olmira"), TwipsRect(1320, 240, 3885, 480));
    AddLabel(this, "lblVersion", QString(), TwipsRect(1050, 780, 3885, 225));

    // Below the description, inside the lower part of its box that its four
    // lines leave free; the third button in the tab order.
    auto* licenses = new QPushButton(QStringLiteral("Licenser…"), this);
    licenses->setObjectName(QStringLiteral("cmdLicenses"));
    licenses->setGeometry(TwipsRect(1050, 1950, 1245, 345));
    licenses->setAutoDefault(false);
    connect(licenses, &QPushButton::clicked, this, [this] { showLicenses(); });
    setTabOrder(sysInfo, licenses);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    const QPixmap pixmap = QPixmap::fromImage(AboutPicture());
    picture->setGeometry(TwipsToPixels(360), TwipsToPixels(120), pixmap.width(), pixmap.height());
    picture->setPixmap(pixmap);

    // An etched separator: a grey line with a white one just below it.
    AddLine(this, 1, 90, 5654, 2445, 1, kEtchShadow);
    AddLine(this, 0, 105, 5654, 2460, 2, kEtchLight);

    ok->setFocus();
    load();
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
