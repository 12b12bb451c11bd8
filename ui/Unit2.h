#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace nomilo {

// The About box: the program's names, icon, version, copyright holder, a freeware note and a
// disclaimer. Created once, hidden, and shown modally from the main window's menu. Its texts
// are the same in every interface language. It keeps the layout's look at the layout's font size
// and grows with a larger font, so that no text is cut or overlaps another.
class TAboutBox : public QDialog {
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Label1;
    QLabel* Version;
    QLabel* Copyright;
    QLabel* Comments;
    QLabel* Label2;
    QPushButton* OKButton;

    void OKButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Places the controls as the layout does, grown to the font.
    void LayOut();

    bool shownBefore_ = false;
};

extern TAboutBox* AboutBox;

} // namespace nomilo
