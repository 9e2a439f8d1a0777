#include "ui/texts/translations.h"

#include <QCoreApplication>
#include <QHash>
#include <QTranslator>

namespace tolvana::ui {
namespace {

// Qt texts that Qt's Swedish translation of this Qt version leaves in English:
// the standard buttons (their texts moved to another context than the one
// the translation knows), parts of the file dialog and the context menu of
// text edits.
class MissingTexts : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char* = nullptr,
                      int = -1) const override {
        static const QHash<QString, QString> kTexts = {
            {"QPlatformTheme|OK", "OK"},
            {"QPlatformTheme|Save", "Spara"},
            {"QPlatformTheme|Save All", "Spara alla"},
            {"QPlatformTheme|Open", "Öppna"},
            {"QPlatformTheme|&Yes", "&Ja"},
            {"QPlatformTheme|Yes to &All", "Ja till &alla"},
            {"QPlatformTheme|&No", "&Nej"},
            {"QPlatformTheme|N&o to All", "N&ej till alla"},
            {"QPlatformTheme|Abort", "Avbryt"},
            {"QPlatformTheme|Retry", "Försök igen"},
            {"QPlatformTheme|Ignore", "Ignorera"},
            {"QPlatformTheme|Close", "Stäng"},
            {"QPlatformTheme|Cancel", "Avbryt"},
            {"QPlatformTheme|Discard", "Förkasta"},
            {"QPlatformTheme|Don't Save", "Spara inte"},
            {"QPlatformTheme|Close without Saving", "Stäng utan att spara"},
            {"QPlatformTheme|Help", "Hjälp"},
            {"QPlatformTheme|Apply", "Verkställ"},
            {"QPlatformTheme|Reset", "Återställ"},
            {"QPlatformTheme|Restore Defaults", "Återställ standardvärden"},
            {"QFileDialog|Look in:", "Leta i:"},
            {"QFileDialog|Sidebar", "Sidopanel"},
            {"QFileDialog|Files", "Filer"},
            {"QFileDialog|Recent Places", "Senaste platser"},
            {"QFileDialog|&New Folder", "&Ny mapp"},
            {"QFileDialog|Go back", "Gå tillbaka"},
            {"QFileDialog|Go forward", "Gå framåt"},
            {"QFileDialog|Go to the parent directory", "Gå till överordnad mapp"},
            {"QFileDialog|Create a New Folder", "Skapa en ny mapp"},
            {"QFileDialog|Change to list view mode", "Visa som lista"},
            {"QFileDialog|Change to detail view mode", "Visa med detaljer"},
            {"QFileDialog|Are you sure you want to delete '%1'?",
             "Vill du verkligen ta bort \"%1\"?"},
            {"QFileDialog|Folder", "Mapp"},
            {"QFileDialog|File Folder", "Filmapp"},
            {"QFileDialog|Alias", "Alias"},
            {"QFileDialog|Shortcut", "Genväg"},
            {"QFileDialog|&Choose", "&Välj"},
            {"QFileDialog|Show hidden files", "Visa dolda filer"},
            {"QFileSystemModel|Invalid filename", "Ogiltigt filnamn"},
            {"QFileSystemModel|Computer", "Dator"},
            {"QFileSystemModel|My Computer", "Den här datorn"},
            {"QAbstractFileIconProvider|Folder", "Mapp"},
            {"QAbstractFileIconProvider|Drive", "Enhet"},
            {"QAbstractFileIconProvider|File", "Fil"},
            {"QAbstractFileIconProvider|%1 File", "%1-fil"},
            // The context menu of the text boxes, as Qt's plain text edit has it.
            {"QWidgetTextControl|&Undo", "&Ångra"},
            {"QWidgetTextControl|&Redo", "&Gör om"},
            {"QWidgetTextControl|Cu&t", "Klipp &ut"},
            {"QWidgetTextControl|&Copy", "&Kopiera"},
            {"QWidgetTextControl|&Paste", "Klistra &in"},
            {"QWidgetTextControl|Delete", "Ta bort"},
            {"QWidgetTextControl|Select All", "Markera allt"},
        };
        return kTexts.value(QString::fromLatin1(context) + u'|' + QString::fromUtf8(sourceText));
    }
};

} // namespace

bool InstallSwedishTranslations(QCoreApplication& application) {
    // Installed first, so Qt's own translation is asked before it.
    QCoreApplication::installTranslator(new MissingTexts(&application));
    auto* qt = new QTranslator(&application);
    if (!qt->load(QStringLiteral(":/translations/qt_sv.qm"))) {
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    return true;
}

} // namespace tolvana::ui
