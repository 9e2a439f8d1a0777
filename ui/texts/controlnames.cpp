#include "ui/texts/controlnames.h"

namespace tolvana::ui {

QString ControlName(char16_t c) {
    static const char* const kNames[32] = {
        "nolltecken",        // 0 NUL
        "rubrikstart",       // 1 SOH
        "textstart",         // 2 STX
        "textslut",          // 3 ETX
        "överföringsslut",   // 4 EOT
        "förfrågan",         // 5 ENQ
        "kvittens",          // 6 ACK
        "ljudsignal",        // 7 BEL
        "backsteg",          // 8 BS
        "tabb",              // 9 HT
        "radmatning",        // 10 LF
        "vertikal tabb",     // 11 VT
        "sidmatning",        // 12 FF
        "vagnretur",         // 13 CR
        "skift ut",          // 14 SO
        "skift in",          // 15 SI
        "datalänkskifte",    // 16 DLE
        "enhetsstyrning 1",  // 17 DC1
        "enhetsstyrning 2",  // 18 DC2
        "enhetsstyrning 3",  // 19 DC3
        "enhetsstyrning 4",  // 20 DC4
        "negativ kvittens",  // 21 NAK
        "synkronisering",    // 22 SYN
        "blockslut",         // 23 ETB
        "annullering",       // 24 CAN
        "mediumslut",        // 25 EM
        "ersättningstecken", // 26 SUB
        "escape",            // 27 ESC
        "filavskiljare",     // 28 FS
        "gruppavskiljare",   // 29 GS
        "postavskiljare",    // 30 RS
        "enhetsavskiljare",  // 31 US
    };
    QString name;
    if (c < 0x20)
        name = QString::fromUtf8(kNames[c]);
    else if (c == 0x7F)
        name = QStringLiteral("radera");
    else if (c >= 0x80 && c <= 0x9F)
        name = QStringLiteral("styrtecken");
    else
        return {};
    return QStringLiteral("%1 (kod %2)").arg(name).arg(static_cast<int>(c));
}

QString WithControlNames(const QString& text) {
    QString named;
    named.reserve(text.size());
    for (QChar c : text) {
        const QString name = ControlName(c.unicode());
        if (name.isEmpty())
            named += c;
        else
            named += u'[' + name + u']';
    }
    return named;
}

} // namespace tolvana::ui
