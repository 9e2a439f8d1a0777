#include "ui/forms/mainlayout.h"

#include "ui/forms/twips.h"

#include <QLabel>
#include <QPushButton>
#include <QWidgetItem>

#include <algorithm>

namespace tolvana::ui {
namespace {

// The drawn design, in pixels.
constexpr QRect kClient = TwipsRect(0, 0, 6555, 6255);
constexpr int kToolbarHeight = TwipsToPixels(630);
constexpr QRect kClearLabel = TwipsRect(1560, 240, 3015, 255);
constexpr QRect kClearBox = TwipsRect(480, 600, 5295, 1575);
constexpr QRect kCipherLabel = TwipsRect(1560, 2400, 3015, 255);
constexpr QRect kCipherBox = TwipsRect(480, 2760, 5295, 1575);
constexpr QRect kEncrypt = TwipsRect(960, 4440, 1215, 375);
constexpr QRect kCreatePassword = TwipsRect(2520, 4440, 1335, 375);
constexpr QRect kDecrypt = TwipsRect(4320, 4440, 1215, 375);

// The spaces between the design's controls, kept at every size.
constexpr int kLabelToBox = kClearBox.top() - (kClearLabel.top() + kClearLabel.height());
constexpr int kBoxToLabel = kCipherLabel.top() - (kClearBox.top() + kClearBox.height());
constexpr int kBoxToButtons = kEncrypt.top() - (kCipherBox.top() + kCipherBox.height());
constexpr int kBoxRightMargin = kClient.width() - (kClearBox.left() + kClearBox.width());
constexpr int kDecryptRightMargin = kClient.width() - (kDecrypt.left() + kDecrypt.width());
constexpr int kBandBelow = kClient.height() - (kEncrypt.top() + kEncrypt.height());
// The least of the empty band below the buttons when the window is made
// lower than its default, and the least space between two buttons.
constexpr int kLeastBand = 7;
constexpr int kLeastButtonGap = 8;

// The middle button's left edge: centred as the design centres it, which
// is 12 pixels left of the client's middle.
constexpr int kMiddleOffset =
    kClient.width() - 2 * kCreatePassword.left() - kCreatePassword.width();
int MiddleLeft(int width, int buttonWidth) { return (width - kMiddleOffset - buttonWidth) / 2; }

} // namespace

struct MainLayout::Needs {
    int clearLabelWidth, clearLabelHeight;
    int cipherLabelWidth, cipherLabelHeight;
    int encryptWidth, createPasswordWidth, decryptWidth, buttonHeight;
    int width;         // the least width
    int heightBesides; // the default height without the two boxes
};

MainLayout::MainLayout(QWidget* parent, const Controls& controls)
    : QLayout(parent), controls_(controls) {
    setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget :
         {controls.toolbar, controls.clearBox, static_cast<QWidget*>(controls.clearLabel),
          controls.cipherBox, static_cast<QWidget*>(controls.cipherLabel),
          static_cast<QWidget*>(controls.encrypt), static_cast<QWidget*>(controls.createPassword),
          static_cast<QWidget*>(controls.decrypt)}) {
        addChildWidget(widget);
        items_ << new QWidgetItem(widget);
    }
}

MainLayout::~MainLayout() { qDeleteAll(items_); }

MainLayout::Needs MainLayout::needs() const {
    Needs n{};
    const QSize clearLabel = controls_.clearLabel->sizeHint();
    const QSize cipherLabel = controls_.cipherLabel->sizeHint();
    n.clearLabelWidth = std::max(kClearLabel.width(), clearLabel.width());
    n.clearLabelHeight = std::max(kClearLabel.height(), clearLabel.height());
    n.cipherLabelWidth = std::max(kCipherLabel.width(), cipherLabel.width());
    n.cipherLabelHeight = std::max(kCipherLabel.height(), cipherLabel.height());
    n.encryptWidth = std::max(kEncrypt.width(), controls_.encrypt->sizeHint().width());
    n.createPasswordWidth =
        std::max(kCreatePassword.width(), controls_.createPassword->sizeHint().width());
    n.decryptWidth = std::max(kDecrypt.width(), controls_.decrypt->sizeHint().width());
    n.buttonHeight = kEncrypt.height();
    for (QPushButton* button : {controls_.encrypt, controls_.createPassword, controls_.decrypt})
        n.buttonHeight = std::max(n.buttonHeight, button->sizeHint().height());

    // Wide enough for the design, for each label after its indent, and for
    // the three buttons with room between them.
    int width = kClient.width();
    const int labelRoom = kClearLabel.left() + kBoxRightMargin;
    width = std::max({width, labelRoom + n.clearLabelWidth, labelRoom + n.cipherLabelWidth,
                      controls_.menuBar->sizeHint().width()});
    while (kEncrypt.left() + n.encryptWidth + kLeastButtonGap >
               MiddleLeft(width, n.createPasswordWidth) ||
           MiddleLeft(width, n.createPasswordWidth) + n.createPasswordWidth + kLeastButtonGap >
               width - kDecryptRightMargin - n.decryptWidth)
        ++width;
    n.width = width;

    n.heightBesides = kClearLabel.top() + n.clearLabelHeight + kLabelToBox + kBoxToLabel +
                      n.cipherLabelHeight + kLabelToBox + kBoxToButtons + n.buttonHeight +
                      kBandBelow;
    return n;
}

QSize MainLayout::sizeHint() const {
    const Needs n = needs();
    return {n.width, n.heightBesides + kClearBox.height() + kCipherBox.height()};
}

QSize MainLayout::minimumSize() const {
    const QSize size = sizeHint();
    return {size.width(), size.height() - kBandBelow + kLeastBand};
}

Qt::Orientations MainLayout::expandingDirections() const { return Qt::Horizontal | Qt::Vertical; }

void MainLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const Needs n = needs();
    const int width = std::max(rect.width(), n.width);
    const int x = rect.left();
    const int y = rect.top();

    // The height beyond the default goes to the boxes, half to each.
    const int extra =
        std::max(0, rect.height() - n.heightBesides - kClearBox.height() - kCipherBox.height());
    const int clearHeight = kClearBox.height() + extra / 2;
    const int cipherHeight = kCipherBox.height() + extra - extra / 2;
    const int boxWidth = width - kClearBox.left() - kBoxRightMargin;

    controls_.toolbar->setGeometry(x, y, rect.width(), kToolbarHeight);
    controls_.clearLabel->setGeometry(x + kClearLabel.left(), y + kClearLabel.top(),
                                      n.clearLabelWidth, n.clearLabelHeight);
    const int clearTop = kClearLabel.top() + n.clearLabelHeight + kLabelToBox;
    controls_.clearBox->setGeometry(x + kClearBox.left(), y + clearTop, boxWidth, clearHeight);
    const int cipherLabelTop = clearTop + clearHeight + kBoxToLabel;
    controls_.cipherLabel->setGeometry(x + kCipherLabel.left(), y + cipherLabelTop,
                                       n.cipherLabelWidth, n.cipherLabelHeight);
    const int cipherTop = cipherLabelTop + n.cipherLabelHeight + kLabelToBox;
    controls_.cipherBox->setGeometry(x + kCipherBox.left(), y + cipherTop, boxWidth, cipherHeight);

    const int buttonTop = y + cipherTop + cipherHeight + kBoxToButtons;
    controls_.encrypt->setGeometry(x + kEncrypt.left(), buttonTop, n.encryptWidth, n.buttonHeight);
    controls_.createPassword->setGeometry(x + MiddleLeft(width, n.createPasswordWidth), buttonTop,
                                          n.createPasswordWidth, n.buttonHeight);
    controls_.decrypt->setGeometry(x + width - kDecryptRightMargin - n.decryptWidth, buttonTop,
                                   n.decryptWidth, n.buttonHeight);
}

void MainLayout::addItem(QLayoutItem* item) { items_ << item; }

QLayoutItem* MainLayout::itemAt(int index) const { return items_.value(index); }

QLayoutItem* MainLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

int MainLayout::count() const { return int(items_.size()); }

} // namespace tolvana::ui
