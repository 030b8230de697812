#include "FreeBtn.h"

#include <QMouseEvent>
#include <QPainter>

TFreeBtn::TFreeBtn(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover, false);
    setMouseTracking(true);
    resize(33, 33);
    FOffset = QPoint(0, 0);
    FillColor = clBtnFace;
    SetShowHint(true);
    SetTransparent(true);
    SetAutoSize(false);
}

void TFreeBtn::SetBitmapOver(const QImage &image)
{
    FBitmapOver.Assign(image);
    Paint();
}

void TFreeBtn::SetBitmapDown(const QImage &image)
{
    FBitmapDown.Assign(image);
    Paint();
}

void TFreeBtn::SetBitmapUp(const QImage &image)
{
    FBitmapUp.Assign(image);
    Paint();
}

void TFreeBtn::SetBitmapDisabled(const QImage &image)
{
    FBitmapDisabled.Assign(image);
    Paint();
}

void TFreeBtn::SetBitmap(const QImage &image)
{
    FBitmap.Assign(image);
    FCurrent.Assign(image);
    if (FAutoSize)
        resize(FBitmap.Width(), FBitmap.Height());
    Paint();
}

void TFreeBtn::SetGlyph(const QImage &strip)
{
    FGlyph.Assign(strip);
    const int h = FGlyph.Height();
    const int w = FGlyph.Width() / 5;
    TBitmap scratch;
    scratch.SetSize(w, h);
    TBitmap *frames[] = {&FBitmapUp, &FBitmapDisabled, &FBitmapDown, &FBitmapOver, &FBitmap};
    for (TBitmap *b : frames)
        b->SetSize(w, h);
    for (int n = 0; n < 5; ++n) {
        scratch.Assign(FGlyph.Image().copy(n * w, 0, w, h));
        if (n < 4)
            frames[n]->Assign(scratch.Image());
        else
            SetBitmap(scratch.Image());
    }
    Paint();
}

void TFreeBtn::SetTransparent(bool v)
{
    FTransparent = v;
    Paint();
}

void TFreeBtn::SetAutoSize(bool v)
{
    FAutoSize = v;
    ApplyLayout();
}

void TFreeBtn::SetHint(const QString &hint)
{
    FHint = hint;
    setToolTip(FShowHint ? FHint : QString());
}

void TFreeBtn::SetShowHint(bool v)
{
    FShowHint = v;
    FParentShowHint = false;
    setToolTip(FShowHint ? FHint : QString());
}

void TFreeBtn::ApplyLayout()
{
    if (FAutoSize) {
        int w = width(), h = height();
        if (FBitmap.Width() > 0)
            w = FBitmap.Width();
        if (FBitmap.Height() > 0)
            h = FBitmap.Height();
        if (w != width() || h != height())
            resize(w, h);
        FOffset = QPoint(0, 0);
        return;
    }
    // The odd pixel of difference falls to the right or bottom side.
    if (FBitmap.Width() > 0)
        FOffset.setX((width() - FBitmap.Width()) / 2);
    if (FBitmap.Height() > 0)
        FOffset.setY((height() - FBitmap.Height()) / 2);
}

void TFreeBtn::Paint()
{
    FDirectImage = nullptr;
    update();
}

void TFreeBtn::DrawImage(QImage &surface, const TBitmap &image) const
{
    if (image.Empty())
        return;
    TCanvas canvas(&surface);
    std::optional<TColor> key;
    if (FTransparent)
        key = image.LowerLeftColor();
    canvas.Draw(FOffset.x(), FOffset.y(), image.Image(), key);
}

void TFreeBtn::paintEvent(QPaintEvent *)
{
    ApplyLayout();
    if (FCurrent.Empty() && !FBitmap.Empty())
        FCurrent.Assign(FBitmap.Image());
    QImage surface(size(), QImage::Format_ARGB32_Premultiplied);
    surface.fill(Qt::transparent);
    if (!FTransparent)
        surface.fill(toQColor(FillColor));
    if (isEnabled()) {
        DrawImage(surface, FCurrent);
        if (FDirectImage)
            DrawImage(surface, *FDirectImage);
    } else if (FBitmapDisabled.Width() != 0) {
        if (size() != QSize(FBitmapDisabled.Width(), FBitmapDisabled.Height())) {
            resize(FBitmapDisabled.Width(), FBitmapDisabled.Height());
            ApplyLayout();
            surface = QImage(size(), QImage::Format_ARGB32_Premultiplied);
            surface.fill(FTransparent ? QColor(Qt::transparent) : toQColor(FillColor));
        }
        DrawImage(surface, FBitmapDisabled);
    } else {
        DrawImage(surface, FCurrent);
    }
    QPainter p(this);
    p.drawImage(0, 0, surface);
}

void TFreeBtn::MakeCurrent(const TBitmap &image)
{
    FCurrent.Assign(image.Image());
    if (FAutoSize)
        resize(image.Width(), image.Height());
    Paint();
}

void TFreeBtn::PointerEntered()
{
    if (FPointerInside)
        return;
    FPointerInside = true;
    if (isEnabled() && FBitmapOver.Width() > 0)
        MakeCurrent(FBitmapOver);
}

void TFreeBtn::PointerLeft()
{
    if (!FPointerInside)
        return;
    FPointerInside = false;
    if (isEnabled() && FBitmap.Width() > 0)
        MakeCurrent(FBitmap);
}

void TFreeBtn::enterEvent(QEnterEvent *e)
{
    QWidget::enterEvent(e);
    PointerEntered();
}

void TFreeBtn::leaveEvent(QEvent *e)
{
    QWidget::leaveEvent(e);
    // While the button holds the mouse, leaving is judged by the pointer's position.
    if (!FPressed)
        PointerLeft();
}

void TFreeBtn::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || !isEnabled())
        return;
    FPressed = true;
    FDoubleClickPress = false;
    FPointerInside = true;
    const QPoint p = e->position().toPoint();
    if (OnMouseDown)
        OnMouseDown(this, TMouseButton::mbLeft, toShiftState(e->modifiers(), e->buttons()), p.x(), p.y());
    if (FBitmapDown.Width() > 0)
        MakeCurrent(FBitmapDown);
}

void TFreeBtn::mouseDoubleClickEvent(QMouseEvent *e)
{
    // The second press of a double click: pressed look and event, but no click.
    mousePressEvent(e);
    FDoubleClickPress = FPressed;
}

void TFreeBtn::mouseMoveEvent(QMouseEvent *e)
{
    if (!FPressed)
        return;
    if (rect().contains(e->position().toPoint()))
        PointerEntered();
    else
        PointerLeft();
}

void TFreeBtn::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || !FPressed)
        return;
    FPressed = false;
    const QPoint p = e->position().toPoint();
    const bool inside = rect().contains(p);
    if (inside && !FDoubleClickPress && isEnabled()) {
        Paint();
        if (OnClick)
            OnClick(this);
    }
    FDoubleClickPress = false;
    if (OnMouseUp)
        OnMouseUp(this, TMouseButton::mbLeft, toShiftState(e->modifiers(), e->buttons()), p.x(), p.y());
    if (FBitmapUp.Width() <= 0)
        return;
    // Disabled controls count when finding what lies under the pointer.
    const QWidget *under = parentWidget() ? parentWidget()->childAt(mapToParent(p)) : nullptr;
    const TBitmap &image = (inside && (under == this || under == nullptr)) ? FBitmapUp : FBitmap;
    if (FAutoSize)
        resize(image.Width(), image.Height());
    FDirectImage = &image;
    update();
    if (!inside)
        FPointerInside = false;
}

void TFreeBtn::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        Paint();
}
