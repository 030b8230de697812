#include "widgets/Shape.h"

#include "platform/Canvas.h"

#include <QMouseEvent>
#include <QPainter>

TShape::TShape(QWidget *parent) : QWidget(parent)
{
    FPen.OnChange = [this] { update(); };
    FBrush.OnChange = [this] { update(); };
}

void TShape::SetEllipse(bool v)
{
    if (v != FEllipse) {
        FEllipse = v;
        update();
    }
}

TRect TShape::OutlineBox() const
{
    const int w = FPen.Width();
    const int x = w / 2;
    int bw = width() - w + 1, bh = height() - w + 1;
    if (w == 0) {
        --bw;
        --bh;
    }
    return TRect{x, x, x + bw, x + bh};
}

void TShape::paintEvent(QPaintEvent *)
{
    QImage surface(size(), QImage::Format_ARGB32_Premultiplied);
    surface.fill(Qt::transparent);
    TCanvas canvas(&surface);
    canvas.Pen().AssignPen(FPen);
    canvas.Brush().SetColor(FBrush.Color());
    canvas.Brush().SetStyle(FBrush.Style());
    canvas.Brush().SetBitmap(FBrush.Bitmap());
    const TRect r = OutlineBox();
    if (FEllipse)
        canvas.Ellipse(r.Left, r.Top, r.Right, r.Bottom);
    else
        canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
    QPainter p(this);
    p.drawImage(0, 0, surface);
}

void TShape::mousePressEvent(QMouseEvent *e)
{
    if (!OnMouseDown) {
        e->ignore();
        return;
    }
    // Taken, so that it does not reach the window beneath, but only the three buttons act.
    if (const auto b = toMouseButton(e->button()))
        OnMouseDown(this, *b, toShiftState(e->modifiers(), e->buttons()), int(e->position().x()),
                    int(e->position().y()));
}

void TShape::mouseMoveEvent(QMouseEvent *e)
{
    if (OnMouseMove)
        OnMouseMove(this, toShiftState(e->modifiers(), e->buttons()), int(e->position().x()), int(e->position().y()));
    else
        e->ignore();
}

void TShape::mouseReleaseEvent(QMouseEvent *e)
{
    if (!OnMouseUp) {
        e->ignore();
        return;
    }
    if (const auto b = toMouseButton(e->button()))
        OnMouseUp(this, *b, toShiftState(e->modifiers(), e->buttons()), int(e->position().x()),
                  int(e->position().y()));
}
