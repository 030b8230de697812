#pragma once
// The system's folder browser, driven as one browse: start folder in, chosen
// folder out. Tests put their own browser in through BrowseHook.
#include <QString>
#include <functional>
#include <string>

class QWidget;

enum class TBrowseKind { bfFolders, bfComputers };
enum class TDialogPosition { dpDefault, dpScreenCenter };

class TBrowseFolderDlg {
public:
    TBrowseKind BrowseKind = TBrowseKind::bfFolders;
    bool DesktopRoot = true;
    QString DialogText;
    // In: the start folder; out: the chosen folder.
    std::string FolderName;
    int HelpContext = 0;
    TDialogPosition Position = TDialogPosition::dpScreenCenter;
    std::function<void()> OnInitialized;
    std::function<void(const std::string &selected)> OnSelChanged;
    // The item selected last, and the file-system path of the chosen item
    // (empty when it has none).
    std::string SelectedName;

    // Runs the browser; true when a folder was chosen.
    bool Execute(QWidget *owner);

    // Replaces the browser: it gets the dialog (FolderName holds the start
    // folder) and answers whether a folder was chosen, leaving its file-system
    // path in SelectedName.
    using Hook = std::function<bool(TBrowseFolderDlg &dlg)>;
    static void SetBrowseHook(Hook hook);

    // The chosen path with a trailing separator removed, unless it is the root.
    static std::string TrimChosenPath(const std::string &path);
    // Where a window of this size goes: centred on the screen, then pulled back inside it.
    static void CenterOnScreen(int screenW, int screenH, int &left, int &top, int width, int height);
};

// Raised when the chosen item has no file-system path.
struct EBrowseError {
    QString Message;
};
