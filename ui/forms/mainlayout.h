#pragma once

// The main window's layout: the drawn design at its default size, grown from
// there. The two boxes take the extra width and share the extra height evenly;
// each label stays above its box and the three buttons keep their row below
// the lower box, "Kryptera" at the left, "Skapa lösenord" in the middle and
// "Dekryptera" at the right. Labels and buttons are never smaller than their
// texts need in the window's font, so a larger font makes the window larger
// rather than cutting a caption.

#include <QLayout>
#include <QList>

class QLabel;
class QPushButton;

namespace tolvana::ui {

class MainLayout : public QLayout {
public:
    struct Controls {
        QWidget* toolbar;
        QWidget* clearBox;
        QLabel* clearLabel;
        QWidget* cipherBox;
        QLabel* cipherLabel;
        QPushButton* encrypt;
        QPushButton* createPassword;
        QPushButton* decrypt;
        // Not laid out here, but the window is as wide as its menu bar needs.
        QWidget* menuBar;
    };

    MainLayout(QWidget* parent, const Controls& controls);
    ~MainLayout() override;

    // The default size: the design's, or wider and taller where the texts
    // need it. The window is never made smaller than minimumSize(), where
    // every control is whole: only the empty band below the buttons gives
    // way.
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    Qt::Orientations expandingDirections() const override;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;

private:
    struct Needs;
    Needs needs() const;

    Controls controls_;
    QList<QLayoutItem*> items_;
};

} // namespace tolvana::ui
