#include "dialogs/HelpDlg.h"

#include "widgets/FreeBtn.h"
#include "widgets/Image.h"
#include "platform/JpegImage.h"
#include "platform/Messages.h"
#include "resources/Resources.h"
#include "widgets/Shape.h"
#include "platform/VersionInfo.h"
#include "platform/WindowFrame.h"
#include "ui_HelpDlg.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <stdexcept>

THelpDlg::THelpDlg(QWidget *owner, const QImage &tile) : QDialog(owner), ui(std::make_unique<Ui::THelpDlg>())
{
    InitQuintavoResources();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    resize(249, 297);
    Shape1 = ui->Shape1;
    FreeBtn1 = ui->FreeBtn1;
    Image1 = ui->Image1;
    LbVer = ui->LbVer;
    Memo1 = ui->Memo1;
    LbVer->adjustSize();
    QFile banner(QStringLiteral(":/images/banner.jpg"));
    if (banner.open(QIODevice::ReadOnly))
        Image1->SetPicture(QPixmap::fromImage(DecodeJpeg(banner.readAll())));
    Image1->Stretch = true;
    FreeBtn1->OnClick = [this](QObject *) { done(1); };
    Memo1->setFocus();
    Shape1->Brush().SetBitmap(tile);
}

THelpDlg::~THelpDlg() = default;

int THelpDlg::ShowModal()
{
    return exec();
}

QString THelpDlg::VersionCaption(const std::string &path)
{
    if (platform::GetFileVersionInfoSize(path) == 0)
        throw std::runtime_error("Can't get file version information for " + path);
    std::vector<char> buffer;
    TFixedFileInfo info;
    if (!platform::GetFileVersionInfo(path, buffer) || !platform::VerQueryFixedFileInfo(buffer, info))
        throw std::runtime_error("Can't get file version information for " + path);
    const unsigned major = info.FileVersionMS >> 16, minor = info.FileVersionMS & 0xFFFF;
    const unsigned release = info.FileVersionLS >> 16;
    return QStringLiteral("Quintavo V%1.%2.%3").arg(major).arg(minor).arg(release);
}

void THelpDlg::FormShow()
{
    const std::string path = ExecutablePath.empty()
                                 ? QCoreApplication::applicationFilePath().toLocal8Bit().toStdString()
                                 : ExecutablePath;
    LbVer->setText(VersionCaption(path));
    LbVer->adjustSize();
}

void THelpDlg::showEvent(QShowEvent *e)
{
    if (FCenterOnOwner && parentWidget()) {
        FCenterOnOwner = false;
        platform::CentreOver(this, parentWidget(), false);
    }
    // An error here is reported and the dialog opens all the same.
    try {
        FormShow();
    } catch (const std::exception &err) {
        platform::ErrorBox(this, QString::fromLocal8Bit(err.what()));
    }
    QDialog::showEvent(e);
}

void THelpDlg::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    Shape1->setGeometry(rect());
}

void THelpDlg::keyPressEvent(QKeyEvent *e)
{
    // Without a cancel button, Escape does not close the help.
    if (e->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(e);
}
