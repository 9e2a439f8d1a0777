#include "ui/dialogs/dialogs.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

namespace tolvana::ui {
namespace {

TEST(NameFilters, TurnsDescriptionPatternPairsIntoQtFilters) {
    EXPECT_EQ(NameFilters("Krypterat|*.crp"), QStringList({"Krypterat (*.crp)"}));
    EXPECT_EQ(NameFilters("Krypterat|*.crp|Alla|*.*"),
              QStringList({"Krypterat (*.crp)", "Alla (*.*)"}));
    EXPECT_EQ(NameFilters("Text|*.txt;*.asc"), QStringList({"Text (*.txt *.asc)"}));
    // A bare pattern list has no description.
    EXPECT_EQ(NameFilters("*.txt;"), QStringList({"*.txt"}));
    EXPECT_EQ(NameFilters(""), QStringList());
}

// The question before a text is lost: Enter and Esc both go back; only the
// other button ends.
TEST(QuestionBox, GoingBackIsTheDefaultAndWhatEscGives) {
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        QPushButton* accept = nullptr;
        const auto box = MakeQuestionBox(nullptr, "Tolvana", "Texten går förlorad.", "Gå tillbaka",
                                         "Avsluta utan att spara", &accept);
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        QTest::keyClick(box.get(), key);
        ASSERT_NE(box->clickedButton(), nullptr);
        EXPECT_EQ(box->clickedButton()->text(), "Gå tillbaka");
        EXPECT_NE(box->clickedButton(), accept);
    }
}

TEST(PasswordBox, HidesWhatIsTyped) {
    const auto box = MakePasswordBox(nullptr, "Ange ditt lösen", "Lösenord", "");
    EXPECT_EQ(box->textEchoMode(), QLineEdit::Password);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    auto* entry = box->findChild<QLineEdit*>();
    ASSERT_NE(entry, nullptr);
    QTest::keyClicks(entry, "hemligt");
    const QChar hidden(entry->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter));
    EXPECT_EQ(entry->displayText(), QString(7, hidden));
    EXPECT_EQ(box->textValue(), "hemligt");

    // A pre-filled hint, which cannot be read in a hidden entry, goes at the
    // first key.
    const auto hinted =
        MakePasswordBox(nullptr, "Ange lösenord", "Lösenord", "Skriv ditt lösen här");
    hinted->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(hinted.get()));
    QTest::keyClicks(hinted->findChild<QLineEdit*>(), "abc");
    EXPECT_EQ(hinted->textValue(), "abc");
}

} // namespace
} // namespace tolvana::ui
