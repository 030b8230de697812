#include "app/Unit1.h"

#include "app/Accessibility.h"
#include "chart/Chart.h"
#include "platform/CloseRequest.h"
#include "dialogs/DirSelDlg.h"
#include "widgets/FreeBtn.h"
#include "dialogs/HelpDlg.h"
#include "platform/HintWindow.h"
#include "widgets/Image.h"
#include "app/Keys.h"
#include "widgets/LocaleNames.h"
#include "platform/Messages.h"
#include "widgets/PathEdit.h"
#include "chart/PieSeries.h"
#include "resources/Resources.h"
#include "app/ScanSession.h"
#include "widgets/Shape.h"
#include "app/SizeText.h"
#include "platform/WindowShape.h"
#include "ui_Form1.h"

#include <QCloseEvent>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr const char *kFilesName = "fichiers";
constexpr const char *kFreeSpaceName = "Espace libre";
constexpr const char *kScanText = "-----analyse---->";
constexpr TColor kChartBack = RGB(0, 0, 0x80);
constexpr TColor kScanTextColor = RGB(0xFF, 0xFF, 0);
} // namespace

TForm1::TForm1(QWidget *parent, walk::TOptions walk)
    : QWidget(parent), ui(std::make_unique<Ui::TForm1>())
{
    InitQuintavoResources();
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(250, 250);
    platform::PrepareShapedWindow(this);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x00, 0x80, 0x80));
    setPalette(pal);
    Fond = ui->Fond;
    Image1 = ui->Image1;
    MinBtn = ui->MinBtn;
    CloseBtn = ui->CloseBtn;
    ScanBtn = ui->ScanBtn;
    BackBtn = ui->BackBtn;
    HelpBtn = ui->HelpBtn;
    Chart1 = ui->Chart1;

    // Series1 as stored with the window.
    Series1 = new TPieSeries(Chart1);
    Series1->Marks.Visible = false;
    Series1->SetSeriesColor(clRed);
    Series1->SetCircleBackColor(clBlue);
    Series1->SetDark3D(false);
    Series1->PieValues().Name = QStringLiteral("Sectoriel ");
    Series1->PieValues().SetMultiplier(1);
    Series1->PieValues().Order = TChartListOrder::loNone;
    Series1->PieValues().SetDateTime(false);
    Series1->SetParentChart(Chart1);

    ScanTimer = new QTimer(this);
    ScanTimer->setObjectName(QStringLiteral("ScanTimer"));
    ScanTimer->setInterval(10);
    ScanTimer->setTimerType(Qt::PreciseTimer);
    connect(ScanTimer, &QTimer::timeout, this, [this] { ScanTimerTimer(); });

    auto down = [this](QObject *s, TMouseButton b, TShiftState sh, int x, int y) { FormMouseDown(s, b, sh, x, y); };
    auto move = [this](QObject *s, TShiftState sh, int x, int y) { FormMouseMove(s, sh, x, y); };
    auto up = [this](QObject *s, TMouseButton b, TShiftState sh, int x, int y) { FormMouseUp(s, b, sh, x, y); };
    Fond->OnMouseDown = down;
    Fond->OnMouseMove = move;
    Fond->OnMouseUp = up;
    Chart1->OnMouseDown = down;
    Chart1->OnMouseMove = move;
    Chart1->OnMouseUp = up;
    Chart1->OnAfterDraw = [this](QObject *s) { Chart1AfterDraw(s); };
    Chart1->OnClickSeries = [this](TCustomChart *c, TChartSeries *s, int i, TMouseButton b, TShiftState sh, int x,
                                   int y) { Chart1ClickSeries(c, s, i, b, sh, x, y); };
    MinBtn->OnClick = [this](QObject *s) { MinBtnClick(s); };
    CloseBtn->OnClick = [this](QObject *s) { CloseBtnClick(s); };
    ScanBtn->OnClick = [this](QObject *s) { Button3Click(s); };
    BackBtn->OnClick = [this](QObject *s) { Button4Click(s); };
    HelpBtn->OnClick = [this](QObject *s) { HelpBtnClick(s); };
    Chart1->installEventFilter(this);
    Fond->installEventFilter(this);
    FSession = new TScanSession(std::move(walk),
                                {[this](const std::string &path) { CannotEnter(path); },
                                 [this](const std::string &path) { OutOfMemory(path); }},
                                this);
    NameForScreenReaders(this);
    setAccessibleDescription(KeysDescription());
    SetAccelerator(BackBtn, CommandKeys(TKeyCommand::Parent));
    SetAccelerator(ScanBtn, CommandKeys(TKeyCommand::Folder));
    SetAccelerator(HelpBtn, CommandKeys(TKeyCommand::Help));
    SetAccelerator(CloseBtn, CommandKeys(TKeyCommand::Quit));
    // The window manager's close ends the program also while a box is open.
    platform::CloseEvenWhenBlocked(this);
    FormCreate();
    PrepareScanText();
}

void TForm1::PrepareScanText()
{
    // Lays the progress text out once with the window: the first tick of a
    // scan would otherwise load the font while the walk keeps the cores busy.
    QImage scratch(4, 4, QImage::Format_RGB32);
    QPainter painter(&scratch);
    painter.setFont(Chart1->ChartCanvas()->Font().ToQFont());
    painter.rotate(-45);
    painter.drawText(0, 0, QString::fromLatin1(kScanText));
}

TForm1::~TForm1()
{
    if (FSession->Close())
        FormClose();
}

void TForm1::SetDialogs(TDirSelDlg *dirSelDlg, THelpDlg *helpDlg)
{
    DirSelDlg = dirSelDlg;
    HelpDlg = helpDlg;
}

const QImage &TForm1::PatternTile() const
{
    return Image1->Bitmap();
}

void TForm1::FormCreate()
{
    FTip = new THintWindow(this);
    FDragging = false;
    FEntities = std::make_unique<TDskEntityList>();
}

void TForm1::FormShow()
{
    FormRonde();
}

void TForm1::FormRonde()
{
    const QRect r = Fond->geometry();
    FRegion = TRegion::CreateEllipticRgn(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
    platform::SetWindowShape(this, FRegion.Region());
    ChartRond();
}

void TForm1::FormClose()
{
    delete FTip;
    FTip = nullptr;
    if (FEntities) {
        ClearDskEntities();
        FEntities.reset();
    }
}

void TForm1::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (!FPlaced) {
        // Placed in the middle of the screen when first shown.
        FPlaced = true;
        if (const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen()) {
            const QRect g = s->availableGeometry();
            move(g.left() + (g.width() - width()) / 2, g.top() + (g.height() - height()) / 2);
        }
    }
    FormShow();
}

void TForm1::closeEvent(QCloseEvent *e)
{
    // The window goes at once, whatever the disk is doing. During a scan the
    // entries are still in use: they are freed when the scan has returned.
    if (FSession->Close())
        FormClose();
    e->accept();
}

// Paints the chart's four corners with the tile and the ring, so that the round
// frame runs on over the square chart.
void TForm1::ChartRond()
{
    Fond->Brush().SetBitmap(PatternTile());
    const int w = Chart1->width(), h = Chart1->height();
    const TRegion e = TRegion::CreateEllipticRgn(0, 0, w, h);
    TRegion r = TRegion::CreateRectRgn(0, 0, w, h);
    r.Subtract(e);
    TChartCanvas3D *canvas = Chart1->ChartCanvas();
    canvas->GetDeviceHandle()->SelectClipRgn(&r);
    canvas->Brush().SetBitmap(PatternTile());
    canvas->FillRect(TRect{0, 0, w, h});
    canvas->Pen().SetColor(clBlue);
    canvas->Pen().SetWidth(3);
    canvas->Pen().SetStyle(TPenStyle::psSolid);
    canvas->Ellipse(-22, -22, w + 22, h + 22);
}

void TForm1::Chart1AfterDraw(QObject *)
{
    ChartRond();
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        NotePointer(watched, static_cast<QMouseEvent *>(event));
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::NotePointer(QObject *sender, const QMouseEvent *e)
{
    FEvent = PointerEvent{sender, e->position().toPoint(), e->globalPosition().toPoint()};
}

QPoint TForm1::ScreenPoint(QObject *sender, int x, int y) const
{
    if (!FEvent || FEvent->Sender != sender || FEvent->Local != QPoint(x, y))
        return mapToGlobal(QPoint(x, y));
    const QPoint origin = sender == Chart1 ? Chart1->pos() : QPoint(0, 0);
    return FEvent->Global - origin;
}

void TForm1::FormMouseDown(QObject *sender, TMouseButton, TShiftState, int x, int y)
{
    const QPoint p = ScreenPoint(sender, x, y);
    const QPoint topLeft = frameGeometry().topLeft();
    FDragOffsetX = p.x() - topLeft.x();
    FDragOffsetY = p.y() - topLeft.y();
    if (sender == Chart1) {
        FDragOffsetX += Chart1->x();
        FDragOffsetY += Chart1->y();
        ChartRond();
    }
    // Where the compositor moves windows the drag is its own, release included.
    if (platform::StartCompositorMove(this))
        return;
    FDragging = true;
    grabMouse();
}

void TForm1::FormMouseMove(QObject *sender, TShiftState, int x, int y)
{
    const QPoint p = ScreenPoint(sender, x, y);
    if (FDragging) {
        move(p.x() - FDragOffsetX, p.y() - FDragOffsetY);
        ChartRond();
        return;
    }
    if (sender != Chart1 || !FTip)
        return;
    FHoverIndex = Series1->ValueIndexAt(x, y);
    FKeyTip = false;
    if (FHoverIndex == -1 || !InsideCircle(x, y, Chart1->width(), Chart1->height())) {
        FTip->ReleaseHandle();
        return;
    }
    const QString text = SliceTip(FHoverIndex);
    const QSize size = FTip->CalcHintRect(text);
    FTip->ActivateHint(QRect(p, size), text);
    // The keys step on from the slice the pointer shows.
    FChosenIndex = FHoverIndex;
}

QString TForm1::SliceTip(int index) const
{
    return SliceTipText(DisplayName(Series1->LabelAt(index)), Series1->YValueAt(index));
}

void TForm1::ChooseSlice(int index)
{
    FChosenIndex = index;
    // The tip is placed from the pie on show: a frame still waiting to be
    // drawn is drawn now, the same frame the next paint would draw.
    if (Chart1->ChartCanvas()->Dirty() && Chart1->isVisible())
        Chart1->repaint();
    if (const std::optional<QPoint> at = Series1->SliceMiddlePoint(index)) {
        const QString text = SliceTip(index);
        // From the window's own position: under a window manager the platform
        // window behind mapToGlobal() can be left at (0, 0) once first placed.
        const QPoint screen = geometry().topLeft() + Chart1->pos() + *at;
        FTip->ActivateHint(QRect(screen, FTip->CalcHintRect(text)), text);
        FKeyTip = true;
    } else {
        FTip->ReleaseHandle();
        FKeyTip = false;
    }
    AnnounceSlice(Chart1, index);
}

void TForm1::HideKeyTip()
{
    if (FKeyTip && FTip)
        FTip->ReleaseHandle();
    FKeyTip = false;
}

void TForm1::keyPressEvent(QKeyEvent *e)
{
    if (!RunKey(e))
        QWidget::keyPressEvent(e); // left to the desktop and the toolkit
}

bool TForm1::RunKey(QKeyEvent *e)
{
    const TKeyCommand command = KeyCommand(e->key(), e->modifiers());
    if (command == TKeyCommand::None || !FTip)
        return false;
    // During a walk the keys do what the disabled buttons and the empty pie do.
    if (FSession->Scanning() || (e->isAutoRepeat() && !RepeatsWhileHeld(command)))
        return true;
    if (FTip->isVisible())
        FKeyTip = true;
    const int count = Series1->PointCount();
    switch (command) {
    case TKeyCommand::Parent:
        Button4Click(BackBtn);
        break;
    case TKeyCommand::Folder:
        Button3Click(ScanBtn);
        break;
    case TKeyCommand::Help:
        HelpBtnClick(HelpBtn);
        break;
    case TKeyCommand::Quit:
        CloseBtnClick(CloseBtn);
        break;
    case TKeyCommand::NextSlice:
    case TKeyCommand::PreviousSlice:
        if (count > 0)
            ChooseSlice(SteppedSlice(FChosenIndex, count, command == TKeyCommand::NextSlice ? 1 : -1));
        break;
    case TKeyCommand::LargestSlice:
    case TKeyCommand::SmallestSlice:
    case TKeyCommand::NextSmaller:
    case TKeyCommand::NextLarger:
        if (count > 0)
            ChooseSlice(SizeSlice(command, FChosenIndex, SlicesBySize()));
        break;
    case TKeyCommand::OpenSlice:
        // The slice whose tip shows opens as a press on it would.
        if (FChosenIndex >= 0 && FChosenIndex < count && FTip->isVisible() && Chart1->OnClickSeries) {
            const QPoint at = Series1->SliceMiddlePoint(FChosenIndex)
                                  .value_or(QPoint(Chart1->width() / 2, Chart1->height() / 2));
            Chart1->OnClickSeries(Chart1, Series1, FChosenIndex, TMouseButton::mbLeft, 0, at.x(), at.y());
        }
        break;
    case TKeyCommand::HideTip:
        FTip->ReleaseHandle();
        FKeyTip = false;
        break;
    case TKeyCommand::None:
    case TKeyCommand::Browse:
    case TKeyCommand::Accept:
    case TKeyCommand::Cancel:
        break;
    }
    return true;
}

const std::vector<int> &TForm1::SlicesBySize()
{
    // Sorted once per pie, on the first key that asks.
    if (int(FBySize.size()) != Series1->PointCount()) {
        std::vector<double> kilobytes(std::size_t(Series1->PointCount()));
        for (int i = 0; i < Series1->PointCount(); ++i)
            kilobytes[std::size_t(i)] = Series1->YValueAt(i);
        FBySize = ::SlicesBySize(kilobytes);
    }
    return FBySize;
}

void TForm1::moveEvent(QMoveEvent *e)
{
    QWidget::moveEvent(e);
    HideKeyTip();
}

void TForm1::FormMouseUp(QObject *, TMouseButton, TShiftState, int, int)
{
    releaseMouse();
    FDragging = false;
}

bool TForm1::event(QEvent *e)
{
    // Once a modal window opens (a warning box during a walk, any dialog) the
    // release can no longer reach this window, so the drag and its capture end
    // here; otherwise the pointer would stay grabbed and the box's OK unclickable.
    if (e->type() == QEvent::WindowBlocked && FDragging) {
        releaseMouse();
        FDragging = false;
    }
    // A tip the keys showed goes with the keyboard when another window takes it.
    if (e->type() == QEvent::WindowDeactivate)
        HideKeyTip();
    const bool result = QWidget::event(e);
    // The keyboard is back: the chosen slice has the focus again.
    if (e->type() == QEvent::WindowActivate)
        RetellChosenSlice(Chart1);
    return result;
}

void TForm1::mousePressEvent(QMouseEvent *e)
{
    NotePointer(this, e);
    if (const auto b = toMouseButton(e->button()))
        FormMouseDown(this, *b, toShiftState(e->modifiers(), e->buttons()), int(e->position().x()),
                      int(e->position().y()));
}

void TForm1::mouseMoveEvent(QMouseEvent *e)
{
    NotePointer(this, e);
    FormMouseMove(this, toShiftState(e->modifiers(), e->buttons()), int(e->position().x()), int(e->position().y()));
}

void TForm1::mouseReleaseEvent(QMouseEvent *e)
{
    NotePointer(this, e);
    // A side button released during a drag by another button does not end it.
    if (const auto b = toMouseButton(e->button()))
        FormMouseUp(this, *b, toShiftState(e->modifiers(), e->buttons()), int(e->position().x()),
                    int(e->position().y()));
}

void TForm1::MinBtnClick(QObject *)
{
    showMinimized();
}

void TForm1::CloseBtnClick(QObject *)
{
    close();
}

void TForm1::Chart1ClickSeries(TCustomChart *, TChartSeries *, int valueIndex, TMouseButton, TShiftState, int x, int y)
{
    if (valueIndex == -1 || !InsideCircle(x, y, Chart1->width(), Chart1->height()))
        return;
    const std::string label = Series1->LegendText(valueIndex, TLegendTextStyle::ltsPlain);
    scan(FormatNameDir(CurrentFolder()) + label);
}

std::string FormatNameDir(const std::string &name)
{
    if (name.empty() || name.back() == '/')
        return name;
    return name + '/';
}

std::string ParentFolder(const std::string &current)
{
    const std::size_t slash = current.rfind('/');
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return "/"; // directly below the root, or the root itself
    return current.substr(0, slash);
}

void TForm1::Button4Click(QObject *)
{
    scan(FormatNameDir(ParentFolder(CurrentFolder())));
}

void TForm1::Button3Click(QObject *)
{
    if (!DirSelDlg)
        return;
    DirSelDlg->DirEdit->InitialDir = CurrentFolder();
    DirSelDlg->DirEdit->SetText(DirSelDlg->DirEdit->InitialDir);
    DirSelDlg->move(frameGeometry().left(), frameGeometry().top() + (height() - DirSelDlg->height()) / 2);
    FTip->ReleaseHandle();
    if (DirSelDlg->ShowModal() == mrOk)
        scan(FormatNameDir(DirSelDlg->DirEdit->Text()));
}

void TForm1::HelpBtnClick(QObject *)
{
    if (HelpDlg)
        HelpDlg->ShowModal();
}

void TForm1::ScanTimerTimer()
{
    TChartCanvas3D *canvas = Chart1->ChartCanvas();
    const int cx = Chart1->width() / 2, cy = Chart1->height() / 2;
    const QString text = QString::fromLatin1(kScanText);
    // Drawing the last text again in the background colour erases it.
    canvas->Font().SetColor(kChartBack);
    canvas->RotatedTextOut(cx, cy, text, FAngle);
    --FAngle;
    if (FAngle < 0)
        FAngle = 360;
    canvas->Font().SetColor(kScanTextColor);
    canvas->RotatedTextOut(cx, cy, text, FAngle);
}

void TForm1::ClearDskEntities()
{
    if (FEntities)
        FEntities->clear();
}

void TForm1::CannotEnter(const std::string &path)
{
    platform::WarningBox(this, QStringLiteral("Impossible d'atteindre :\r") + DisplayName(path));
}

void TForm1::OutOfMemory(const std::string &path)
{
    platform::WarningBox(this, QStringLiteral("Mémoire insuffisante pour analyser :\r") + DisplayName(path));
}

std::string TForm1::CurrentFolder() const
{
    std::string current = walk::CurrentFolder();
    return current.empty() ? FSession->LastFolder() : current;
}

bool TForm1::Scanning() const
{
    return FSession->Scanning();
}

std::int64_t TForm1::GetDirSize(const std::string &path)
{
    return FSession->Measure(walk::TRequest::TKind::FilesSize, path);
}

std::int64_t TForm1::GetFullDirSize(const std::string &path)
{
    return FSession->Measure(walk::TRequest::TKind::FullSize, path);
}

void TForm1::SetButtonsEnabled(bool enabled)
{
    for (TFreeBtn *b : {BackBtn, ScanBtn, MinBtn, CloseBtn, HelpBtn})
        b->setEnabled(enabled);
}

void TForm1::FillEntities(const walk::TOutcome &outcome)
{
    auto add = [this](std::string name, std::int64_t kb, TColor color, std::uint8_t kind) {
        auto entity = std::make_unique<TDskEntity>();
        entity->Name = std::move(name);
        entity->Size = kb;
        entity->Color = color;
        entity->Kind = kind;
        FEntities->push_back(std::move(entity));
    };
    FEntities->reserve(outcome.Folders.size() + 2);
    if (outcome.DriveRoot)
        add(kFreeSpaceName, outcome.FreeBytes / 1024, RGB(0, 0, 0), kFilesOrFreeSpace);
    add(kFilesName, outcome.Kb, RGB(255, 255, 255), kFilesOrFreeSpace);
    for (const walk::TOutcome::TFolder &folder : outcome.Folders)
        add(folder.Name, folder.Kb, EntityColor(int(FEntities->size()) + 1), kSubFolder);
}

void TForm1::scan(const std::string &path)
{
    if (!FSession->Begin())
        return;
    SetButtonsEnabled(false);
    FAngle = 360;
    if (FSession->MakeCurrent(path)) {
        ScanTimer->start();
        ClearDskEntities();
        Series1->ClearPoints();
        // A new pie: nothing is chosen in it yet.
        FChosenIndex = -1;
        FBySize.clear();
        HideKeyTip();
        AnnounceSlice(Chart1, -1);
        HelpBtn->SetHint(DisplayName(path));
        const walk::TOutcome *outcome = FSession->Walk();
        ScanTimer->stop();
        if (outcome) {
            FillEntities(*outcome);
            for (const auto &entity : *FEntities)
                Series1->AddPoint(double(entity->Size), entity->Name, entity->Color);
        }
    }
    const bool closed = FSession->End();
    SetButtonsEnabled(true);
    if (closed)
        FormClose();
}
