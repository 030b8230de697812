#pragma once
// The modal help window: a banner, the version read from the program file and a
// short text about the buttons.
#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class THelpDlg;
}
class TShape;
class TFreeBtn;
class TImage;
class QLabel;
class QPlainTextEdit;

class THelpDlg : public QDialog {
    Q_OBJECT
public:
    // tile: the main window's pattern tile, the dialog's background.
    THelpDlg(QWidget *owner, const QImage &tile);
    ~THelpDlg() override;

    TShape *Shape1 = nullptr;
    TFreeBtn *FreeBtn1 = nullptr;
    TImage *Image1 = nullptr;
    QLabel *LbVer = nullptr;
    QPlainTextEdit *Memo1 = nullptr;

    int ShowModal();
    // The program file whose version is shown; the running executable by default.
    std::string ExecutablePath;
    // Sets the version label; raises std::runtime_error without a version block.
    void FormShow();
    // "Quintavo V" and major.minor.release of the file's version block.
    static QString VersionCaption(const std::string &path);

protected:
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    std::unique_ptr<Ui::THelpDlg> ui;
    bool FCenterOnOwner = true;
};
