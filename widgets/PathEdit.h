#pragma once
// A one-line box for a folder path with a small browse button at its right end;
// the button (or Alt+Down) opens the system's folder browser.
#include "widgets/PathText.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QLineEdit>
#include <QPointer>
#include <QWindow>
#include <string>

class TBrowseFolderDlg;

// The browse button: a push button with the folder picture.
class TEditButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TEditButton(QWidget *parent);
    QImage Glyph;

protected:
    void paintEvent(QPaintEvent *e) override;
};

enum class TDirDialogKind { dkFramework, dkWin32 };

class TDirectoryEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString InitialDirText READ InitialDirText WRITE SetInitialDirText)
    Q_PROPERTY(int ButtonWidth READ ButtonWidth WRITE SetButtonWidth)
    Q_PROPERTY(QString ButtonHint READ ButtonHint WRITE SetButtonHint)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(QString DialogText MEMBER DialogText)
    Q_PROPERTY(bool DirectInput READ DirectInput WRITE SetDirectInput)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool AutoSelect MEMBER AutoSelect)
    Q_PROPERTY(bool MultipleDirs MEMBER MultipleDirs)
    Q_PROPERTY(bool Win32Dialog READ Win32Dialog WRITE SetWin32Dialog)

public:
    explicit TDirectoryEdit(QWidget *parent = nullptr);

    // The path as bytes; the box shows it decoded, and bytes that are not
    // UTF-8 come back unchanged (PathText.h).
    std::string Text() const;
    void SetText(const std::string &text);
    // Start folder when the text is empty; updated after each successful browse.
    std::string InitialDir;
    QString InitialDirText() const { return PathToText(InitialDir); }
    void SetInitialDirText(const QString &t) { InitialDir = TextToPath(t); }
    TDirDialogKind DialogKind = TDirDialogKind::dkFramework;
    bool Win32Dialog() const { return DialogKind == TDirDialogKind::dkWin32; }
    void SetWin32Dialog(bool v) { DialogKind = v ? TDirDialogKind::dkWin32 : TDirDialogKind::dkFramework; }
    QString DialogText;
    int HelpContext = 0;
    bool MultipleDirs = false;
    bool DirectInput() const { return FDirectInput; }
    void SetDirectInput(bool v);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    bool AutoSelect = true;
    QKeySequence ClickKey = QKeySequence(Qt::ALT | Qt::Key_Down);
    int ButtonWidth() const { return FButtonWidth; }
    void SetButtonWidth(int w);
    // Kept but never shown: the dialog leaves hints off.
    QString ButtonHint() const { return FButtonHint; }
    void SetButtonHint(const QString &h) { FButtonHint = h; }
    QString Hint() const { return FHint; }
    void SetHint(const QString &h) { FHint = h; }

    TEditButton *Button() const { return FButton; }
    // The button area and the text rectangle, in the box's client coordinates.
    QRect ButtonRect() const;
    QRect TextRect() const;
    // Runs the browse procedure.
    void DoBrowse();

protected:
    bool event(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void changeEvent(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void UpdateLayout();
    void UpdateReadOnly();

    QWidget *FButtonHolder;
    TEditButton *FButton;
    // The window whose mouse events are looked at first; not owned.
    QPointer<QWindow> FWindow;
    // Shown since the box last got the focus: the focus its window gives it
    // as it opens comes from another control.
    bool FWindowJustShown = false;
    int FButtonWidth = 21;
    bool FDirectInput = true;
    bool FReadOnly = false;
    QString FButtonHint;
    QString FHint;
};
