#include "ui/forms/helpwindow.h"

#include "ui/forms/twips.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace tolvana::ui {

QString HelpText() {
    // Written as the users have always read it, spelling included.
    return QStringLiteral("1. Om du har skapat ett lösenord så måste det \r\n"
                          "anges för att öppna progammet\r\n"
                          "2. skriv texten i det översta fältet och tryck på \r\n"
                          "knappen kryptera för att erhålla en tolvana \r\n"
                          "3. spata den krypterade filen, sen kan du skicka \r\n"
                          "den via epost eller över nätet. \r\n"
                          "Dom personerna som har samma programm ham \r\n"
                          "öppna dina filer och dekryptera dessa\r\n");
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent), text_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("FRMHELP"));
    setWindowTitle(QStringLiteral("HJÄLP"));
    resize(TwipsToPixels(4680), TwipsToPixels(3090));

    // The box stands where the design draws it and takes whatever the window
    // grows by; its lines wrap at its width, and a text taller than the box,
    // as in a large font, scrolls.
    text_->setObjectName(QStringLiteral("TxtHelp"));
    text_->setAccessibleName(windowTitle());
    const QRect box = TwipsRect(480, 240, 3735, 2655);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(box.left(), box.top(), width() - box.right() - 1,
                               height() - box.bottom() - 1);
    layout->addWidget(text_);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_->setPlainText(HelpText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    text_->setFocus();
}

} // namespace tolvana::ui
