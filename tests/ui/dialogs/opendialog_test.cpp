// The open dialog on POSIX systems, where a file name is any bytes: a name
// that is not UTF-8, which Qt's own folder listing leaves out.

#include "ui/dialogs/dialogs.h"
#include "ui/platform/nativepath.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tolvana::ui {
namespace {

// The open dialog of the widgets lists a file whose name is not UTF-8, which
// Qt's own folder listing leaves out, shows its odd byte, and gives back its
// exact bytes when it is chosen: with the Open button, or with Enter.
class OpenDialogTest : public ::testing::TestWithParam<bool> {};

TEST_P(OpenDialogTest, ListsAndGivesBackANameThatIsNotUtf8) {
    QTemporaryDir folder;
    const std::string bytes = StoragePath(folder.path());
    // Qt cannot remove what it cannot list.
    const struct Removed {
        std::string path;
        ~Removed() { std::filesystem::remove_all(path); }
    } removed{bytes};
    for (const std::string name : {"r\xE4k.crp", "brev.crp", "l\xE5ng.txt", "\xE4.crp.txt"})
        std::ofstream(bytes + "/" + name) << "\"153\"\r\n";

    const FileRequest request{FileRequest::Kind::Open, QStringLiteral("ladda en krypterad fil"),
                              QStringLiteral("*.crp"), QStringLiteral("Krypterat|*.crp"), 1};
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(nullptr, request);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setDirectory(folder.path());
    dialog->open();
    auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    ASSERT_NE(list, nullptr);
    const auto shown = [&] {
        QStringList names;
        const QModelIndex root = list->rootIndex();
        for (int row = 0; row < list->model()->rowCount(root); ++row)
            names << list->model()->index(row, 0, root).data().toString();
        names.sort();
        return names;
    };
    // Only the files of the filter, the one Qt lists and the one it does not.
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown() == QStringList({"brev.crp", "r\\xE4k.crp"}); }))
        << shown().join(u' ').toStdString();

    const QModelIndex root = list->rootIndex();
    QModelIndex latin1;
    for (int row = 0; row < list->model()->rowCount(root); ++row)
        if (list->model()->index(row, 0, root).data().toString() == u"r\\xE4k.crp")
            latin1 = list->model()->index(row, 0, root);
    ASSERT_TRUE(latin1.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(latin1).center());
    auto* open = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
    ASSERT_NE(open, nullptr);
    EXPECT_TRUE(open->isEnabled());
    if (GetParam())
        QTest::mouseClick(open, Qt::LeftButton);
    else
        QTest::keyClick(list, Qt::Key_Return);

    EXPECT_FALSE(dialog->isVisible());
    const std::optional<QString> chosen = ChosenFile(*dialog);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(StoragePath(*chosen), bytes + "/r\xE4k.crp");
}

INSTANTIATE_TEST_SUITE_P(OpenButtonOrEnter, OpenDialogTest, ::testing::Bool());

} // namespace
} // namespace tolvana::ui
