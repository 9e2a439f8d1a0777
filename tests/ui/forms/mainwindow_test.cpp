#include "tests/support/fake_system.h"
#include "tests/support/main_window_fixture.h"
#include "ui/forms/aboutwindow.h"
#include "ui/forms/helpwindow.h"
#include "ui/forms/mainwindow.h"
#include "ui/textbox/codetextbox.h"
#include "ui/texts/codepage.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace tolvana::ui {
namespace {

using testing::Type;

QString AllCodes() {
    std::string codes;
    for (int c = 0; c < 256; ++c) codes += static_cast<char>(c);
    return FromCodes(codes);
}

using MainWindowTest = testing::MainWindowFixture;

// A window is never without its password places, so "Skapa lösenord" always
// has a place to write the password.
TEST_F(MainWindowTest, SkapaLosenordAlwaysHasAPlaceToWrite) {
    static_assert(!std::is_constructible_v<Services, Dialogs&>);
    static_assert(!std::is_constructible_v<Services, Dialogs&, std::function<char()>>);
    dialogs.inputAnswers = {QStringLiteral("hemligt"), QStringLiteral("hemligt")};
    press("SkapaLosen");
    EXPECT_TRUE(dialogs.messages.empty());
    const FoundPassword found = ReadPassword(passwords.places());
    const auto* password = std::get_if<storage::Password>(&found.state);
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(password->text, "hemligt");
}

TEST_F(MainWindowTest, StartsEmptyWithTheFocusInTheClearTextBox) {
    EXPECT_EQ(window->objectName(), "ravlo");
    EXPECT_EQ(window->windowTitle(), "Olmira");
    if (testing::DesignFontPresent()) {
        EXPECT_EQ(window->centralWidget()->size(), QSize(437, 417)); // 6555 x 6255 twips
    }
    EXPECT_TRUE(clear()->text().isEmpty());
    EXPECT_TRUE(cipher()->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), clear());
    EXPECT_NE(window->findChild<QObject*>(QStringLiteral("Dialogöppna")), nullptr);
}

// Screen readers name each box after the label above it.
TEST_F(MainWindowTest, TheBoxesAreNamedByTheirLabels) {
    const struct {
        ui::CodeTextBox* box;
        const char* label;
        const char* name;
    } kBoxes[] = {{clear(), "EtikSkrivin1", "Skriv in den text som ska krypteras"},
                  {cipher(), "EtikKrypterad", "Texten krypterad"}};
    for (const auto& expected : kBoxes) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(expected.box);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8(expected.name));
        EXPECT_EQ(child<QLabel>(expected.label)->buddy(), expected.box);
        const auto labels = accessible->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels[0].first->object(), child<QLabel>(expected.label));
    }
}

TEST_F(MainWindowTest, ControlsStandWhereTheDesignPutsThem) {
    if (!testing::DesignFontPresent()) GTEST_SKIP() << "the design font is not there";
    struct Control {
        const char* name;
        QRect twips;
        QString text;
    };
    const Control controls[] = {
        {"TextRenText", {480, 600, 5295, 1575}, {}},
        {"EtikSkrivin1", {1560, 240, 3015, 255}, "Skriv in den text som ska krypteras"},
        {"TextKrypterad", {480, 2760, 5295, 1575}, {}},
        {"EtikKrypterad", {1560, 2400, 3015, 255}, QString(18, u' ') + "Texten krypterad"},
        {"KKnapKryptera", {960, 4440, 1215, 375}, "Kryptera"},
        {"KKnappDekryptera", {4320, 4440, 1215, 375}, "Dekryptera"},
        {"SkapaLosen", {2520, 4440, 1335, 375}, "Skapa lösenord"},
        {"Toolbar1", {0, 0, 6555, 630}, {}},
    };
    for (const Control& c : controls) {
        auto* widget = child<QWidget>(c.name);
        ASSERT_NE(widget, nullptr);
        const QRect& t = c.twips;
        EXPECT_EQ(widget->geometry(),
                  QRect(t.x() / 15, t.y() / 15, t.width() / 15, t.height() / 15))
            << c.name;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), c.text);
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), c.text);
            EXPECT_FALSE(button->isDefault());
            EXPECT_FALSE(button->autoDefault());
        }
    }
    for (CodeTextBox* box : {clear(), cipher()}) {
        EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_FALSE(box->isReadOnly());
    }
}

// What the layout keeps at every size of the client area: the boxes take the
// width beyond the design's 437 pixels and share the height beyond its 417
// evenly, each label stays above its box, and the buttons keep their row
// below in their order, all inside the window.
void ExpectLaidOut(const QWidget* client, const char* size) {
    const auto at = [client](const char* name) {
        return client->findChild<QWidget*>(QLatin1String(name))->geometry();
    };
    const QRect clearBox = at("TextRenText"), cipherBox = at("TextKrypterad");
    const QRect clearLabel = at("EtikSkrivin1"), cipherLabel = at("EtikKrypterad");
    const QRect encrypt = at("KKnapKryptera"), password = at("SkapaLosen"),
                decrypt = at("KKnappDekryptera");
    const int dx = client->width() - 437, dy = client->height() - 417;
    EXPECT_EQ(at("Toolbar1"), QRect(0, 0, client->width(), 42)) << size;
    EXPECT_EQ(clearBox, QRect(32, 40, 353 + dx, 105 + dy / 2)) << size;
    EXPECT_EQ(cipherBox.size(), QSize(353 + dx, 105 + dy - dy / 2)) << size;
    EXPECT_EQ(cipherBox.left(), 32) << size;
    for (const auto& [label, box] : {std::pair{clearLabel, clearBox}, {cipherLabel, cipherBox}}) {
        EXPECT_EQ(label.left(), 104) << size;
        EXPECT_EQ(box.top() - label.bottom() - 1, 7) << size;
    }
    EXPECT_EQ(cipherLabel.top() - clearBox.bottom() - 1, 15) << size;
    for (const QRect& button : {encrypt, password, decrypt}) {
        EXPECT_EQ(button.top(), cipherBox.bottom() + 8) << size;
        EXPECT_EQ(button.height(), 25) << size;
    }
    EXPECT_EQ(encrypt.left(), 64) << size;
    EXPECT_LT(encrypt.right(), password.left()) << size;
    EXPECT_LT(password.right(), decrypt.left()) << size;
    EXPECT_EQ(decrypt.right(), client->width() - 69) << size;
    EXPECT_EQ(client->height() - encrypt.bottom() - 1, 96) << size;
}

TEST_F(MainWindowTest, TheBoxesGrowWithTheWindow) {
    ExpectLaidOut(window->centralWidget(), "default");

    window->resize(1200, 900);
    QApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(1200, 900));
    ExpectLaidOut(window->centralWidget(), "1200 x 900");

    window->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isMaximized(); }, 1000));
    QApplication::processEvents();
    EXPECT_GT(window->width(), 437);
    ExpectLaidOut(window->centralWidget(), "maximised");
    window->showNormal();

    // Smaller than the design, only the empty band below the buttons gives way.
    window->resize(100, 100);
    QApplication::processEvents();
    const QWidget* client = window->centralWidget();
    if (!testing::DesignFontPresent()) return; // the least size follows the font in use
    EXPECT_EQ(client->width(), 437);
    EXPECT_EQ(child<QPushButton>("KKnapKryptera")->geometry(), QRect(64, 296, 81, 25));
    EXPECT_EQ(client->height(), 296 + 25 + 7);
}

// A screen reader finds a name for everything that takes the focus, and for
// every button, also the toolbar's hidden one; labels are read without the
// blanks that place them, in all three windows.
TEST_F(MainWindowTest, EveryControlHasANameWithoutLeadingBlanks) {
    testing::FakeSystemTools tools;
    HelpWindow help(passwords.places());
    AboutWindow about(dialogs, tools);
    const auto nameOf = [](QWidget* widget) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        return accessible ? accessible->text(QAccessible::Name) : QString();
    };
    for (QWidget* top : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(&help),
                         static_cast<QWidget*>(&about)}) {
        for (QWidget* widget : top->findChildren<QWidget*>()) {
            if (widget->isWindow()) continue; // the menus' lists
            const std::string what = top->objectName().toStdString() + " " +
                                     widget->metaObject()->className() + " " +
                                     widget->objectName().toStdString();
            const QString name = nameOf(widget);
            if (widget->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton*>(widget)) {
                EXPECT_FALSE(name.trimmed().isEmpty()) << what;
            }
            if (qobject_cast<QLabel*>(widget)) {
                EXPECT_EQ(name, name.trimmed()) << what;
            }
        }
    }
    EXPECT_EQ(nameOf(child<QLabel>("EtikKrypterad")), "Texten krypterad");
    EXPECT_EQ(child<QLabel>("EtikKrypterad")->text(), QString(18, u' ') + "Texten krypterad");
    EXPECT_EQ(nameOf(static_cast<QWidget*>(help.textBox())), QStringLiteral("HJÄLP"));
}

// The order on the screen: the boxes from the top, then the buttons from the
// left.
TEST_F(MainWindowTest, TabVisitsBoxesThenButtonsInScreenOrder) {
    QStringList visited;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, QStringList({"TextKrypterad", "KKnapKryptera", "SkapaLosen",
                                    "KKnappDekryptera", "TextRenText"}));
}

TEST_F(MainWindowTest, MenusHaveTheirItemsInOrderWithAccessKeys) {
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "&Arkiv ");
    EXPECT_EQ(menus[0]->menu()->objectName(), "arkiv");
    EXPECT_EQ(menus[1]->text(), "&Hjälp");
    EXPECT_EQ(menus[1]->menu()->objectName(), "Help");

    QStringList items;
    for (QAction* menu : menus)
        for (QAction* item : menu->menu()->actions())
            items << item->objectName() + "=" + item->text() + "=" + item->shortcut().toString();
    EXPECT_EQ(items, QStringList({"open=&Öppna en krypterad fil=Ctrl+O",
                                  "chopen=Öppna fil för &tolvana=", "save=&Spara tolvana=Ctrl+S",
                                  "closeProg=&Avsluta=Ctrl+Q", "Help2=&Hjälp=F1",
                                  "about=&Om programmet="}));
}

TEST_F(MainWindowTest, KrypteraAndDekrypteraMakeTheRoundTrip) {
    Type(clear(), QStringLiteral("abc"));
    press("KKnapKryptera");
    EXPECT_EQ(cipher()->text(), "\n153\n154,5\n156");
    EXPECT_EQ(cipher()->toPlainText(), "\n153\n154,5\n156"); // one entry a line
    EXPECT_TRUE(clear()->text().isEmpty());

    press("KKnappDekryptera");
    EXPECT_EQ(clear()->text(), "abc");
    EXPECT_EQ(cipher()->text(), "\n153\n154,5\n156");
    press("KKnappDekryptera");
    EXPECT_EQ(clear()->text(), "abc");

    // An empty clear text empties the cipher box.
    clear()->setText({});
    press("KKnapKryptera");
    EXPECT_TRUE(cipher()->text().isEmpty());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, WritesTheUsersDecimalSeparator) {
    start('.');
    Type(clear(), QStringLiteral("b"));
    press("KKnapKryptera");
    EXPECT_EQ(cipher()->text(), "\n154.5");
}

TEST_F(MainWindowTest, EnterMakesACrLfLineBreakInTheClearTextBox) {
    Type(clear(), QStringLiteral("a"));
    QTest::keyClick(clear(), Qt::Key_Return);
    Type(clear(), QStringLiteral("b"));
    QTest::keyClick(clear(), Qt::Key_Return, Qt::ShiftModifier);
    Type(clear(), QStringLiteral("c"));
    EXPECT_EQ(clear()->text(), "a\r\nb\r\nc");
    press("KKnapKryptera");
    EXPECT_EQ(cipher()->text(), "\n153\n27\n22,5\n154,5\n27\n22,5\n156");
}

TEST_F(MainWindowTest, BoxesGiveBackExactlyWhatTheyHold) {
    const QString samples[] = {
        AllCodes(),
        QStringLiteral("a\r\nb"),
        QStringLiteral("\r\r\n\n\r"),
        QStringLiteral("\n"),
        QString(QChar(0)) + QChar(0xFF) + QChar(0x81) + QChar(0x8D) + QChar(0x8F) + QChar(0x90) +
            QChar(0x9D) + QChar(0xA0) + QChar(0x7F),
        QStringLiteral("tab\there, trailing blanks  \r\n"),
    };
    for (const QString& text : samples) {
        for (CodeTextBox* box : {clear(), cipher()}) {
            box->setText(text);
            EXPECT_EQ(box->text(), text) << box->objectName().toStdString();
        }
    }
    // Every code makes the round trip through both buttons.
    clear()->setText(AllCodes());
    press("KKnapKryptera");
    press("KKnappDekryptera");
    EXPECT_EQ(clear()->text(), AllCodes());
}

TEST_F(MainWindowTest, ControlCharactersShowAsPicturesAndLineBreaksAsLines) {
    clear()->setText(QStringLiteral("a\r\nb\nc\rd") + QChar(0));
    EXPECT_EQ(clear()->toPlainText(), QStringLiteral("a\nb␊c␍d␀"));
    cipher()->setText(QStringLiteral("\n153\r\n154"));
    EXPECT_EQ(cipher()->toPlainText(), QStringLiteral("\n153␍\n154"));
}

TEST_F(MainWindowTest, PastedLineBreaksBecomeTheBoxsOwn) {
    QApplication::clipboard()->setText(QStringLiteral("a\r\nb\rc\nd") + QChar(1));
    QTest::keyClick(clear(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(clear()->text(), QStringLiteral("a\r\nb\r\nc\r\nd") + QChar(1));
    QTest::keyClick(cipher(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(cipher()->text(), QStringLiteral("a\nb\nc\nd") + QChar(1));

    // Copying gives the box's own text back.
    clear()->control().selectAll();
    QTest::keyClick(clear(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("a\r\nb\r\nc\r\nd") + QChar(1));
}

TEST_F(MainWindowTest, ACharacterWithoutCodeIsReportedAndChangesNothing) {
    Type(clear(), QStringLiteral("ok"));
    QTest::keyClick(clear(), Qt::Key_Return);
    Type(clear(), QStringLiteral("fel: ł"));
    cipher()->setText(QStringLiteral("\n153"));
    press("KKnapKryptera");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Tolvana");
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("\"ł\" (U+0142) på rad 2")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(clear()->text(), QStringLiteral("ok\r\nfel: ł"));
    EXPECT_EQ(cipher()->text(), QStringLiteral("\n153"));

    cipher()->setText(QStringLiteral("\n153\n→"));
    press("KKnappDekryptera");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.messages[1].text.contains(QStringLiteral("\"→\" (U+2192) på rad 3")));
    EXPECT_EQ(clear()->text(), QStringLiteral("ok\r\nfel: ł"));
}

TEST_F(MainWindowTest, AnInvalidCipherTextIsReportedAndChangesNothing) {
    clear()->setText(QStringLiteral("kvar"));
    const QString invalid[] = {QStringLiteral("\n153\nabc\n156"), QStringLiteral("\n153\n\n0")};
    const QString expected[] = {QStringLiteral("\"abc\" på rad 3 är inget tal"),
                                QStringLiteral("talet \"0\" på rad 4 motsvarar inget tecken")};
    for (int i = 0; i < 2; ++i) {
        cipher()->setText(invalid[i]);
        press("KKnappDekryptera");
        ASSERT_EQ(dialogs.messages.size(), static_cast<std::size_t>(i + 1));
        EXPECT_TRUE(dialogs.messages.back().text.contains(expected[i]))
            << dialogs.messages.back().text.toStdString();
        EXPECT_EQ(clear()->text(), QStringLiteral("kvar"));
        EXPECT_EQ(cipher()->text(), invalid[i]);
    }
}

TEST_F(MainWindowTest, HelpMenuShowsOneOfEachWindowThatOutlivesTheMainWindow) {
    for (const char* item : {"Help2", "Help2", "about", "about"})
        window->findChild<QAction*>(QString::fromLatin1(item))->trigger();
    auto count = [](const char* name) {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += w->objectName() == QString::fromLatin1(name) && w->isVisible();
        return n;
    };
    EXPECT_EQ(count("FRMHELP"), 1);
    EXPECT_EQ(count("frmAbout"), 1);

    window->close();
    EXPECT_EQ(count("FRMHELP"), 1);
    EXPECT_EQ(count("frmAbout"), 1);
    window->secondaryWindows().helpWindow()->close();
    window->secondaryWindows().aboutWindow()->close();
}

TEST_F(MainWindowTest, AvslutaClosesEveryWindow) {
    window->findChild<QAction*>(QStringLiteral("Help2"))->trigger();
    QAction* closeProg = window->findChild<QAction*>(QStringLiteral("closeProg"));
    ASSERT_NE(closeProg, nullptr);
    closeProg->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->secondaryWindows().helpWindow(), nullptr);
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace
} // namespace tolvana::ui
