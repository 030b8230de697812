#pragma once
// The main window: a borderless circle with the pie in its middle and five
// image buttons round it. It fills the pie from a scan, moves between folders
// and takes the keys; the process's current folder is the only record of the
// one on show. Its controls and state are its own: tests read them through
// TForm1::TProbe (tests/support/FormProbe.h).
#include "platform/Canvas.h"
#include "app/DskEntity.h"
#include "platform/Events.h"
#include "platform/Graphics.h"
#include "walk/Walk.h"

#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Ui {
class TForm1;
}
class TShape;
class TImage;
class TFreeBtn;
class TChart;
class TCustomChart;
class TChartSeries;
class TPieSeries;
class THintWindow;
class QTimer;
class TDirSelDlg;
class THelpDlg;
class TScanSession;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // `walk`: how its walks run (tests hold a walk back through its hook).
    explicit TForm1(QWidget *parent = nullptr, walk::TOptions walk = {});
    ~TForm1() override;

    // The dialogs the folder and help commands open, created after this
    // window (they take its pattern tile); not owned. Either may be null.
    void SetDialogs(TDirSelDlg *dirSelDlg, THelpDlg *helpDlg);
    // The pattern tile held by Image1.
    const QImage &PatternTile() const;

    // --- handlers, as the stored form wires them
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormRonde();
    void ChartRond();
    void FormMouseDown(QObject *sender, TMouseButton button, TShiftState shift, int x, int y);
    void FormMouseMove(QObject *sender, TShiftState shift, int x, int y);
    void FormMouseUp(QObject *sender, TMouseButton button, TShiftState shift, int x, int y);
    void MinBtnClick(QObject *sender);
    void CloseBtnClick(QObject *sender);
    void Chart1AfterDraw(QObject *sender);
    void Chart1ClickSeries(TCustomChart *sender, TChartSeries *series, int valueIndex, TMouseButton button,
                           TShiftState shift, int x, int y);
    void Button4Click(QObject *sender);
    void Button3Click(QObject *sender);
    void HelpBtnClick(QObject *sender);
    void ScanTimerTimer();

    // --- the folder scan
    void ClearDskEntities();
    // Kilobytes of the files directly in the folder, and of its whole tree.
    // Nothing calls them but tests: the scan takes both from the walk at once.
    std::int64_t GetDirSize(const std::string &path);
    std::int64_t GetFullDirSize(const std::string &path);
    // Walks the folder and refills the entries and the pie; a path that cannot be
    // made current changes nothing. The walk runs on worker threads; this thread
    // serves the window meanwhile and returns when the walk is over.
    void scan(const std::string &path);
    bool Scanning() const;
    // The folder on show: the process's current folder, or, when that can no
    // longer be read (another program deleted it), the last one made current.
    std::string CurrentFolder() const;

    // What tests may read and drive; defined in tests/support/FormProbe.h.
    class TProbe;

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void moveEvent(QMoveEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // (x, y) of the reporting control mapped to the screen as a point of this
    // window's client area. While the window moves, events already queued still
    // carry coordinates relative to its old place, so the pointer's screen
    // position from the event itself is used when there is one.
    QPoint ScreenPoint(QObject *sender, int x, int y) const;
    void SetButtonsEnabled(bool enabled);
    // The read-out's text for slice `index`.
    QString SliceTip(int index) const;
    // Chooses slice `index`: its tip at its middle point, told to screen readers.
    void ChooseSlice(int index);
    // Runs a key command; false when the window leaves the key to others.
    bool RunKey(QKeyEvent *e);
    // The slices from the largest to the smallest, equal ones in listing order.
    const std::vector<int> &SlicesBySize();
    // Hides the tip when it is the keys' own: it no longer sits by its slice.
    void HideKeyTip();
    void PrepareScanText();
    void CannotEnter(const std::string &path);
    void OutOfMemory(const std::string &path);
    // The entries of a finished scan, in the pie's order.
    void FillEntities(const walk::TOutcome &outcome);

    // --- controls, as the stored form places them
    std::unique_ptr<Ui::TForm1> ui;
    TShape *Fond = nullptr;
    TImage *Image1 = nullptr;
    TFreeBtn *MinBtn = nullptr;
    TFreeBtn *CloseBtn = nullptr;
    TFreeBtn *ScanBtn = nullptr;
    TFreeBtn *BackBtn = nullptr;
    TFreeBtn *HelpBtn = nullptr;
    TChart *Chart1 = nullptr;
    TPieSeries *Series1 = nullptr;
    QTimer *ScanTimer = nullptr;
    TDirSelDlg *DirSelDlg = nullptr;
    THelpDlg *HelpDlg = nullptr;

    // --- state
    bool FDragging = false;
    int FDragOffsetX = 0;
    int FDragOffsetY = 0;
    TRegion FRegion;
    THintWindow *FTip = nullptr;
    std::unique_ptr<TDskEntityList> FEntities;
    int FAngle = 360;
    int FHoverIndex = -1;
    // The slice chosen by the keys or last shown by the hover read-out (-1 for
    // none); a new pie forgets it.
    int FChosenIndex = -1;
    // The tip showing was shown by the keys or acted on by them.
    bool FKeyTip = false;
    // The pie's slices by size, for the size keys; empty until one asks.
    std::vector<int> FBySize;
    bool FPlaced = false;
    // The walks, one at a time, and the window's closing during one.
    TScanSession *FSession = nullptr;
    // The mouse event being handled: who reported it, where, and where on the screen.
    struct PointerEvent {
        QObject *Sender;
        QPoint Local;
        QPoint Global;
    };
    std::optional<PointerEvent> FEvent;
    void NotePointer(QObject *sender, const QMouseEvent *e);
};

// A folder path followed by a separator, unless it is empty or has one already.
std::string FormatNameDir(const std::string &name);

// The folder above `current`: everything before its last separator; the root
// for a folder directly below it and for the root itself; empty without a separator.
std::string ParentFolder(const std::string &current);
