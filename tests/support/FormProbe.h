#pragma once
// What the tests may read and drive of the main window: its controls, to
// press, hover and photograph them as a user would, and a few facts a user
// sees without a pixel to show them (a drag under way, the chosen slice).
#include "chart/Chart.h"
#include "widgets/FreeBtn.h"
#include "platform/HintWindow.h"
#include "chart/PieSeries.h"
#include "widgets/Shape.h"
#include "app/Unit1.h"

#include <QTimer>

class TForm1::TProbe {
public:
    explicit TProbe(TForm1 &form) : F(form) {}

    TChart &Chart() const { return *F.Chart1; }
    // The pie: tests fill it without a disk, and read its slices.
    TPieSeries &Pie() const { return *F.Series1; }
    TShape &Frame() const { return *F.Fond; }
    TFreeBtn &MinBtn() const { return *F.MinBtn; }
    TFreeBtn &CloseBtn() const { return *F.CloseBtn; }
    TFreeBtn &ScanBtn() const { return *F.ScanBtn; }
    TFreeBtn &BackBtn() const { return *F.BackBtn; }
    TFreeBtn &HelpBtn() const { return *F.HelpBtn; }
    // Ticks while a scan walks.
    QTimer &Timer() const { return *F.ScanTimer; }

    // The slice read-out's tip; null once the window is closed.
    const THintWindow *Tip() const { return F.FTip; }
    QString TipText() const { return F.FTip && F.FTip->isVisible() ? F.FTip->text() : QString(); }
    bool Dragging() const { return F.FDragging; }
    int Hovered() const { return F.FHoverIndex; }
    int Chosen() const { return F.FChosenIndex; }
    // The progress text's angle, in degrees.
    int Angle() const { return F.FAngle; }
    // The entry list is freed once the window has closed.
    bool EntitiesFreed() const { return !F.FEntities; }

private:
    TForm1 &F;
};
