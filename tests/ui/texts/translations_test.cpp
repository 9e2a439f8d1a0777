#include "ui/texts/translations.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QKeySequence>
#include <QPushButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace tolvana::ui {
namespace {

// What a translation must keep of its source: the places Qt fills in (%1),
// the line breaks of a question, and an underlined letter where the source
// has one (and only one, or Alt would pick between two).
TEST(SwedishTranslations, KeepWhatQtFillsInAndOneUnderlinedLetter) {
    const QRegularExpression placeholder(QStringLiteral("%\\d"));
    const auto placeholders = [&](const QString& text) {
        QStringList found;
        for (const auto& match : placeholder.globalMatch(text)) found << match.captured();
        found.sort();
        return found;
    };
    const auto mnemonics = [](QString text) { return text.remove(QStringLiteral("&&")).count(u'&'); };
    for (auto it = QtTextsInSwedish::table().cbegin(); it != QtTextsInSwedish::table().cend();
         ++it) {
        const QString source = it.key().section(u'|', 1);
        const QString& swedish = it.value();
        SCOPED_TRACE(it.key().toStdString());
        EXPECT_FALSE(swedish.isEmpty());
        EXPECT_EQ(placeholders(swedish), placeholders(source));
        EXPECT_EQ(swedish.count(u'\n'), source.count(u'\n'));
        EXPECT_EQ(mnemonics(swedish), mnemonics(source));
        EXPECT_LE(mnemonics(swedish), 1);
        // "All Files (*)" is a name filter: its pattern must stay.
        if (source.endsWith(u"(*)")) {
            EXPECT_TRUE(swedish.endsWith(u"(*)"));
        }
    }
}

TEST(SwedishTranslations, QtsOwnDialogTextsAreSwedish) {
    QtTextsInSwedish swedish;
    QCoreApplication::installTranslator(&swedish);
    auto tr = [](const char* context, const char* text) {
        return QCoreApplication::translate(context, text);
    };
    // The question before a file is replaced, and the file dialog's own texts.
    EXPECT_EQ(tr("QFileDialog", "%1 already exists.\nDo you want to replace it?").arg("brev.crp"),
              "brev.crp finns redan.\nVill du ersätta den?");
    EXPECT_EQ(tr("QFileDialog", "File &name:"), "Fil&namn:");

    // Buttons as the standard dialogs make them.
    QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No |
                             QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Yes)->text(), "&Ja");
    EXPECT_EQ(buttons.button(QDialogButtonBox::No)->text(), "&Nej");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Avbryt");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Open)->text(), "Öppna");

    // The file dialog's list: the computer at its top and the type of a folder.
    QFileSystemModel model;
    EXPECT_EQ(model.myComputer().toString(), "Dator");
    QAbstractFileIconProvider icons;
    EXPECT_EQ(icons.type(QFileInfo(QDir::tempPath())), "Mapp");

    // Key names beside menu commands are Swedish, and a key sequence Qt reads
    // from a text, in either language, still means the same keys.
    const QKeySequence redo(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    EXPECT_EQ(redo.toString(QKeySequence::NativeText), "Ctrl+Skift+Z");
    EXPECT_EQ(QKeySequence(QStringLiteral("Ctrl+Skift+Z")), redo);
    EXPECT_EQ(QKeySequence(QStringLiteral("Ctrl+Shift+Z")), redo);
    EXPECT_EQ(QKeySequence(tr("QFileDialog", "Alt+Left")), QKeySequence(Qt::ALT | Qt::Key_Left));
    QCoreApplication::removeTranslator(&swedish);
}

} // namespace
} // namespace tolvana::ui
