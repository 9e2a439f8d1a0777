#include "ui/texts/translations.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace tolvana::ui {
namespace {

TEST(SwedishTranslations, QtsOwnDialogTextsAreSwedish) {
    ASSERT_TRUE(InstallSwedishTranslations(*qApp)) << "the built-in translation is missing";
    auto tr = [](const char* context, const char* text) {
        return QCoreApplication::translate(context, text);
    };
    // The question before a file is replaced, and the file dialog's own texts.
    EXPECT_TRUE(tr("QFileDialog", "%1 already exists.\nDo you want to replace it?")
                    .startsWith(QStringLiteral("%1 finns redan.")));
    EXPECT_EQ(tr("QFileDialog", "File &name:"), "Fil&namn:");
    EXPECT_EQ(tr("QFileDialog", "Look in:"), "Leta i:");

    // Buttons as the standard dialogs make them.
    QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No |
                             QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Yes)->text(), "&Ja");
    EXPECT_EQ(buttons.button(QDialogButtonBox::No)->text(), "&Nej");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Avbryt");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Open)->text(), "Öppna");

    // The context menu of a text box, with its underlined letters.
    EXPECT_EQ(tr("QWidgetTextControl", "&Undo"), "&Ångra");
    EXPECT_EQ(tr("QWidgetTextControl", "Cu&t"), "Klipp &ut");
    EXPECT_EQ(tr("QWidgetTextControl", "&Paste"), "Klistra &in");
    EXPECT_EQ(tr("QWidgetTextControl", "Select All"), "Markera allt");

    // The file dialog's list: the computer at its top and the type of a folder.
    QFileSystemModel model;
    EXPECT_EQ(model.myComputer().toString(), "Dator");
    QAbstractFileIconProvider icons;
    EXPECT_EQ(icons.type(QFileInfo(QDir::tempPath())), "Mapp");
}

} // namespace
} // namespace tolvana::ui
