#include "ui/forms/helpwindow.h"

#include "ui/forms/twips.h"
#include "ui/platform/nativepath.h"

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

QString HelpGuide(const PasswordPlaces& places) {
    QString files;
    for (const PasswordPlace& place : places.places()) {
        files +=
            QStringLiteral("  ") + PathForDisplay(place.files.flagPath) + QStringLiteral("\r\n");
        files += QStringLiteral("  ") + PathForDisplay(place.files.passwordPath) +
                 QStringLiteral("\r\n");
    }
    return QStringLiteral("\r\n"
                          "Så använder du Tolvana\r\n"
                          "\r\n"
                          "Kryptera: skriv texten i den övre rutan och tryck på \"Kryptera\". "
                          "Den nedre rutan visar då varje tecken som ett tal, ett tal per rad, "
                          "och den övre rutan töms.\r\n"
                          "\r\n"
                          "Dekryptera: tryck på \"Dekryptera\", så blir talen i den nedre rutan "
                          "text igen i den övre rutan.\r\n"
                          "\r\n"
                          "Spara och öppna: \"Spara tolvana\" i menyn \"Arkiv\" sparar den "
                          "krypterade texten i en .crp-fil. \"Öppna en krypterad fil\" läser in "
                          "en .crp-fil i den nedre rutan.\r\n"
                          "\r\n"
                          "Importera: \"Öppna fil för tolvana\" läser in en vanlig textfil "
                          "(.txt) i den övre rutan.\r\n"
                          "\r\n"
                          "Lösenord: med \"Skapa lösenord\" väljer du ett lösenord som "
                          "programmet sedan frågar efter varje gång det startar. Lösenordet "
                          "sparas som vanlig text i de här filerna:\r\n") +
           files +
           QStringLiteral("Tar du bort filerna, tar du bort lösenordet.\r\n"
                          "\r\n"
                          "Skicka: skicka .crp-filen med e-post eller på annat sätt. Om "
                          "mottagaren inte har Tolvana skickar du också med filen "
                          "tolvana.html, som följer med programmet. Mottagaren öppnar den i "
                          "en webbläsare, väljer \"Öppna en krypterad fil\" och trycker på "
                          "\"Dekryptera\". Inget behöver installeras.\r\n"
                          "\r\n"
                          "Obs! Chiffret har ingen nyckel. Alla som har Tolvana eller "
                          "tolvana.html kan läsa en krypterad text, så använd det inte för "
                          "hemligheter.\r\n");
}

QString HelpWindowText(const PasswordPlaces& places) { return HelpText() + HelpGuide(places); }

HelpWindow::HelpWindow(const PasswordPlaces& places, QWidget* parent)
    : QWidget(parent), text_(new QPlainTextEdit(this)) {
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
    text_->setPlainText(
        HelpWindowText(places).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    text_->setFocus();
}

} // namespace tolvana::ui
