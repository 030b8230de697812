#include "widgets/FreeBtn.h"

#include "platform/WindowFrame.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <utility>

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
    update();
}

void TFreeBtn::SetBitmapDown(const QImage &image)
{
    FBitmapDown.Assign(image);
    update();
}

void TFreeBtn::SetBitmapUp(const QImage &image)
{
    FBitmapUp.Assign(image);
    update();
}

void TFreeBtn::SetBitmapDisabled(const QImage &image)
{
    FBitmapDisabled.Assign(image);
    update();
}

void TFreeBtn::SetBitmap(const QImage &image)
{
    FBitmap.Assign(image);
    FCurrent.Assign(image);
    if (FAutoSize)
        resize(FBitmap.Width(), FBitmap.Height());
    update();
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
    update();
}

void TFreeBtn::SetTransparent(bool v)
{
    FTransparent = v;
    update();
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
    PaintRoutine();
    Present();
}

void TFreeBtn::Present()
{
    FPresentPending = true;
    update();
}

void TFreeBtn::FitSurface()
{
    if (FSurface.size() == size())
        return;
    FSurface = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    FSurface.fill(Qt::transparent);
}

void TFreeBtn::DrawImage(const TBitmap &image)
{
    if (image.Empty())
        return;
    TCanvas canvas(&FSurface);
    std::optional<TColor> key;
    if (FTransparent)
        key = image.LowerLeftColor();
    canvas.Draw(FOffset.x(), FOffset.y(), image.Image(), key);
}

void TFreeBtn::PaintRoutine()
{
    ApplyLayout();
    FitSurface();
    if (FCurrent.Empty() && !FBitmap.Empty())
        FCurrent.Assign(FBitmap.Image());
    if (!FTransparent)
        FSurface.fill(toQColor(FillColor));
    if (isEnabled()) {
        DrawImage(FCurrent);
    } else if (FBitmapDisabled.Width() != 0) {
        if (size() != QSize(FBitmapDisabled.Width(), FBitmapDisabled.Height())) {
            resize(FBitmapDisabled.Width(), FBitmapDisabled.Height());
            ApplyLayout();
            FitSurface();
        }
        DrawImage(FBitmapDisabled);
    } else {
        DrawImage(FCurrent);
    }
}

void TFreeBtn::paintEvent(QPaintEvent *e)
{
    // What the toolkit repaints (the parent repainting, an uncover, a change of
    // Enabled) gets the parent's background back and the paint routine over it;
    // the rest keeps what the button drew itself.
    QRegion invalid = std::exchange(FInvalid, QRegion());
    if (!FPresentPending)
        invalid |= e->region();
    FPresentPending = false;
    if (FSurface.size() != size())
        invalid = rect();
    invalid &= rect();
    if (!invalid.isEmpty()) {
        QImage shown = std::exchange(FSurface, QImage());
        PaintRoutine();
        if (shown.size() == FSurface.size() && !(QRegion(rect()) - invalid).isEmpty()) {
            QPainter merge(&shown);
            merge.setCompositionMode(QPainter::CompositionMode_Source);
            merge.setClipRegion(invalid);
            merge.drawImage(0, 0, FSurface);
            merge.end();
            FSurface = std::move(shown);
        }
    }
    QPainter p(this);
    p.drawImage(0, 0, FSurface);
}

void TFreeBtn::Invalidate(const QRegion &region)
{
    FInvalid |= region & rect();
    update(region);
}

void TFreeBtn::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    // An uncovered window is shown again from what the toolkit kept, without a
    // paint request: the button asks for its own where its window is exposed.
    if (QWindow *w = window()->windowHandle(); w && w != FWindow) {
        if (FWindow)
            FWindow->removeEventFilter(this);
        FWindow = w;
        FWindow->installEventFilter(this);
    }
}

bool TFreeBtn::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == FWindow && e->type() == QEvent::Expose && FWindow->isExposed() && isVisible())
        Invalidate(platform::ExposedRegion(*static_cast<QExposeEvent *>(e)).translated(-mapTo(window(), QPoint())));
    return QWidget::eventFilter(watched, e);
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
    // While any button is held the pointer is the button's and the toolkit
    // holds the leave back: leaving is judged by the pointer's position.
    if (!FPressed && e->buttons() == Qt::NoButton)
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
    const QPoint screenPoint = e->globalPosition().toPoint();
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
    // Asked only now: OnClick may have moved or covered the button. Disabled
    // controls count.
    const QWidget *under = nullptr;
    if (const QWidget *parent = parentWidget())
        under = parent->childAt(parent->mapFromGlobal(screenPoint));
    else if (rect().contains(mapFromGlobal(screenPoint)))
        under = this;
    // Drawn straight over the button; the current image stays as it was.
    const TBitmap &image = under == this ? FBitmapUp : FBitmap;
    if (FAutoSize)
        resize(image.Width(), image.Height());
    FitSurface();
    if (!FTransparent)
        FSurface.fill(toQColor(FillColor));
    DrawImage(image);
    Present();
    if (!inside)
        FPointerInside = false;
}

void TFreeBtn::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    // The toolkit repaints the button from its parent's background.
    if (e->type() == QEvent::EnabledChange)
        Invalidate(rect());
}
