#pragma once
// The small modal dialog in which the folder to analyse is typed or browsed to.
// It only answers 1 (accept) or 2 (cancel); the caller reads the edit box.
#include <QDialog>
#include <memory>

namespace Ui {
class TDirSelDlg;
}
class TShape;
class TFreeBtn;
class QPushButton;
class TDirectoryEdit;

constexpr int mrOk = 1;
constexpr int mrCancel = 2;

class TDirSelDlg : public QDialog {
    Q_OBJECT
public:
    // tile: the main window's pattern tile, the dialog's background.
    TDirSelDlg(QWidget *owner, const QImage &tile);
    ~TDirSelDlg() override;

    TShape *Shape1 = nullptr;
    TFreeBtn *FreeBtn1 = nullptr;
    TFreeBtn *FreeBtn2 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    TDirectoryEdit *DirEdit = nullptr;

    // Shows the dialog modally and answers mrOk or mrCancel.
    int ShowModal();
    // Any other way of closing cancels.
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void FormCreate(const QImage &tile);
    std::unique_ptr<Ui::TDirSelDlg> ui;
    // Centred over the owner on the first showing only.
    bool FCenterOnOwner = true;
};
