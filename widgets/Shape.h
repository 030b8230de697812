#pragma once
// A filled and outlined rectangle or ellipse that fills its control; the brush
// may be a pattern bitmap laid from the control's own top-left corner.
#include "platform/Events.h"
#include "platform/Graphics.h"

#include <QColor>
#include <QWidget>

class TShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Ellipse READ IsEllipse WRITE SetEllipse)
    Q_PROPERTY(QColor PenColor READ PenColor WRITE SetPenColor)
    Q_PROPERTY(int PenWidth READ PenWidth WRITE SetPenWidth)
    Q_PROPERTY(QColor BrushColor READ BrushColor WRITE SetBrushColor)

public:
    explicit TShape(QWidget *parent = nullptr);

    bool IsEllipse() const { return FEllipse; }
    void SetEllipse(bool v);
    TPen &Pen() { return FPen; }
    TBrush &Brush() { return FBrush; }
    QColor PenColor() const { return toQColor(FPen.Color()); }
    void SetPenColor(const QColor &c) { FPen.SetColor(fromQColor(c)); }
    int PenWidth() const { return FPen.Width(); }
    void SetPenWidth(int w) { FPen.SetWidth(w); }
    QColor BrushColor() const { return toQColor(FBrush.Color()); }
    void SetBrushColor(const QColor &c) { FBrush.SetColor(fromQColor(c)); }
    // The box the outline runs along: half the pen in from each edge.
    TRect OutlineBox() const;

    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    bool FEllipse = false;
    TPen FPen;
    TBrush FBrush;
};
