#pragma once

// Qt's own texts in Swedish: the standard buttons, the file dialog and its
// questions, the context menus of text fields and scroll bars, key names in
// menus, and the action names a screen reader speaks. The program is Swedish
// whatever the user's language settings are. The translations are the
// program's own; no translation file of Qt's is built in.

#include <QHash>
#include <QString>
#include <QTranslator>

class QCoreApplication;

namespace tolvana::ui {

class QtTextsInSwedish : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    // The Swedish text, or an empty text for one this table lacks (Qt then
    // shows its own).
    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;

    // Every text, keyed "context|source text". A key sequence that Qt parses
    // (the file dialog's "Alt+Left") stays as it is.
    static const QHash<QString, QString>& table();
};

// Installs QtTextsInSwedish for the whole program.
void InstallSwedishTranslations(QCoreApplication& application);

} // namespace tolvana::ui
