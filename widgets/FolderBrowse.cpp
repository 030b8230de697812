#include "widgets/FolderBrowse.h"

#include "platform/FileSystem.h"
#include "widgets/PathText.h"
#include "platform/WindowFrame.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <cerrno>
#include <cstring>

namespace {
TBrowseFolderDlg::Hook &browseHook()
{
    static TBrowseFolderDlg::Hook hook;
    return hook;
}

// The browser's date column in French whatever the locale: the file-system
// model writes it in the system's.
class TFrenchDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        constexpr int kDateColumn = 3;
        if (const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
            files && role == Qt::DisplayRole && index.column() == kDateColumn)
            return QLocale(QLocale::French, QLocale::France)
                .toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }
};

QString errorText(int code)
{
    if (code == 0)
        return QStringLiteral("Une fonction de l'API Win32 a échoué");
    return QStringLiteral("Erreur Win32.  Code : %1.\n%2").arg(code).arg(QString::fromLocal8Bit(std::strerror(code)));
}
} // namespace

void TBrowseFolderDlg::SetBrowseHook(Hook hook)
{
    browseHook() = std::move(hook);
}

std::string TBrowseFolderDlg::TrimChosenPath(const std::string &path)
{
    if (path.size() > 1 && path.back() == '/')
        return path.substr(0, path.size() - 1);
    return path;
}

void TBrowseFolderDlg::CenterOnScreen(int screenW, int screenH, int &left, int &top, int width, int height)
{
    left = (screenW - width) / 2;
    top = (screenH - height) / 2;
    if (left + width > screenW)
        left = screenW - width;
    if (left < 0)
        left = 0;
    if (top + height > screenH)
        top = screenH - height;
    if (top < 0)
        top = 0;
}

bool TBrowseFolderDlg::Execute(QWidget *owner)
{
    bool chosen = false;
    SelectedName.clear();
    errno = 0;
    if (browseHook()) {
        chosen = browseHook()(*this);
    } else {
        QFileDialog dialog(owner ? owner->window() : nullptr, DialogText);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setOption(QFileDialog::DontResolveSymlinks, false);
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setProxyModel(new TFrenchDates(&dialog));
        const QString start = PathToText(FolderName);
        if (fsys::DirectoryExists(FolderName))
            dialog.setDirectory(start);
        else
            dialog.setDirectory(QStringLiteral("/"));
        // The directory dialog itself accepts only folders that exist.
        QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [this](const QString &path) {
            SelectedName = TextToPath(path);
            if (OnSelChanged)
                OnSelChanged(SelectedName);
        });
        dialog.adjustSize();
        if (Position == TDialogPosition::dpScreenCenter) {
            if (const QScreen *s = QGuiApplication::primaryScreen()) {
                // By its outer size, frame included, in the pixels the window manager counts in.
                const platform::TDeviceFrame frame = platform::DeviceFrame(&dialog);
                const QRect screen = platform::DeviceScreen(s, false);
                int left = 0, top = 0;
                CenterOnScreen(screen.width(), screen.height(), left, top, frame.Outer.width(), frame.Outer.height());
                platform::MoveOuterTo(&dialog, frame, screen.topLeft() + QPoint(left, top));
            }
        }
        if (OnInitialized)
            OnInitialized();
        // The window active before the browser is active again after it, so
        // that the focus can go back where it was.
        const QPointer<QWidget> active = QApplication::activeWindow();
        chosen = dialog.exec() == QDialog::Accepted;
        if (active && active->isVisible())
            active->activateWindow();
        if (chosen) {
            const QStringList files = dialog.selectedFiles();
            SelectedName = files.isEmpty() ? std::string() : TextToPath(files.first());
        }
    }
    if (!chosen)
        return false;
    if (SelectedName.empty())
        throw EBrowseError{errorText(errno)};
    FolderName = TrimChosenPath(SelectedName);
    return true;
}
