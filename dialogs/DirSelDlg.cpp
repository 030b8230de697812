#include "dialogs/DirSelDlg.h"

#include "widgets/FreeBtn.h"
#include "widgets/PathEdit.h"
#include "resources/Resources.h"
#include "widgets/Shape.h"
#include "ui_DirSelDlg.h"

#include <QKeyEvent>
#include <QPushButton>

TDirSelDlg::TDirSelDlg(QWidget *owner, const QImage &tile) : QDialog(owner), ui(std::make_unique<Ui::TDirSelDlg>())
{
    InitQuintavoResources();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(290, 74);
    Shape1 = ui->Shape1;
    FreeBtn1 = ui->FreeBtn1;
    FreeBtn2 = ui->FreeBtn2;
    Button1 = ui->Button1;
    Button2 = ui->Button2;
    DirEdit = ui->DirEdit;
    FreeBtn1->OnClick = [this](QObject *) { done(mrOk); };
    FreeBtn2->OnClick = [this](QObject *) { done(mrCancel); };
    connect(Button1, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(Button2, &QPushButton::clicked, this, [this] { done(mrCancel); });
    DirEdit->setFocus();
    FormCreate(tile);
}

TDirSelDlg::~TDirSelDlg() = default;

void TDirSelDlg::FormCreate(const QImage &tile)
{
    Shape1->Brush().SetBitmap(tile);
}

int TDirSelDlg::ShowModal()
{
    return exec();
}

void TDirSelDlg::reject()
{
    done(mrCancel);
}

void TDirSelDlg::showEvent(QShowEvent *e)
{
    if (FCenterOnOwner && parentWidget()) {
        FCenterOnOwner = false;
        const QRect o = parentWidget()->frameGeometry();
        move(o.left() + (o.width() - width()) / 2, o.top() + (o.height() - height()) / 2);
    }
    QDialog::showEvent(e);
}

void TDirSelDlg::keyPressEvent(QKeyEvent *e)
{
    if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            // Enter presses the push button that has the focus, else the default one.
            auto *focused = qobject_cast<QPushButton *>(focusWidget());
            (focused ? focused : Button1)->click();
            return;
        }
        if (e->key() == Qt::Key_Escape) {
            Button2->click();
            return;
        }
    }
    QDialog::keyPressEvent(e);
}
