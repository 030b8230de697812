#pragma once
// A push button drawn entirely from bitmaps, one per visual state. It never
// takes the focus and paints on its parent's surface inside its rectangle;
// pixels of each image's lower-left colour are see-through.
//
// What is on screen is kept in a surface over the parent's background. The
// button's own steps draw over that surface as it is; a repaint that comes
// from the toolkit (the parent repainting, an uncover or expose of its window,
// a change of Enabled) starts again from the parent's background and runs the
// paint routine there, even when the button drew itself since.
#include "platform/Canvas.h"
#include "platform/Events.h"

#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QWidget>

class QWindow;

class TFreeBtn : public QWidget {
    Q_OBJECT
    // Stored forms load pictures straight into the owned bitmaps (the glyph is not cut).
    Q_PROPERTY(QPixmap BitmapOver READ StoredBitmapOver WRITE LoadBitmapOver STORED false)
    Q_PROPERTY(QPixmap BitmapDown READ StoredBitmapDown WRITE LoadBitmapDown STORED false)
    Q_PROPERTY(QPixmap BitmapUp READ StoredBitmapUp WRITE LoadBitmapUp STORED false)
    Q_PROPERTY(QPixmap BitmapDisabled READ StoredBitmapDisabled WRITE LoadBitmapDisabled STORED false)
    Q_PROPERTY(QPixmap Bitmap READ StoredBitmap WRITE LoadBitmap STORED false)
    Q_PROPERTY(QPixmap Glyph READ StoredGlyph WRITE LoadGlyph STORED false)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)

public:
    explicit TFreeBtn(QWidget *parent = nullptr);

    // The owned images; assigning copies the given picture.
    TBitmap &BitmapOver() { return FBitmapOver; }
    TBitmap &BitmapDown() { return FBitmapDown; }
    TBitmap &BitmapUp() { return FBitmapUp; }
    TBitmap &BitmapDisabled() { return FBitmapDisabled; }
    TBitmap &Bitmap() { return FBitmap; }
    TBitmap &Glyph() { return FGlyph; }
    // The image drawn while enabled: a copy of the state image made current last.
    const TBitmap &CurrentImage() const { return FCurrent; }
    QPoint DrawOffset() const { return FOffset; }

    void SetBitmapOver(const QImage &image);
    void SetBitmapDown(const QImage &image);
    void SetBitmapUp(const QImage &image);
    void SetBitmapDisabled(const QImage &image);
    // Also becomes the current image at once.
    void SetBitmap(const QImage &image);
    // Cuts the strip into five frames: up, disabled, down, over, normal.
    void SetGlyph(const QImage &strip);

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool v);
    QString Hint() const { return FHint; }
    void SetHint(const QString &hint);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool v);
    bool ParentShowHint() const { return !FShowHint && FParentShowHint; }
    // The fill colour behind opaque images.
    TColor FillColor = clBtnFace;

    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    // Stored only: nothing raises them.
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    // Runs the paint routine now, over what the button shows.
    void Paint();

protected:
    void paintEvent(QPaintEvent *e) override;
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void changeEvent(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    QPixmap StoredBitmapOver() const { return QPixmap::fromImage(FBitmapOver.Image()); }
    QPixmap StoredBitmapDown() const { return QPixmap::fromImage(FBitmapDown.Image()); }
    QPixmap StoredBitmapUp() const { return QPixmap::fromImage(FBitmapUp.Image()); }
    QPixmap StoredBitmapDisabled() const { return QPixmap::fromImage(FBitmapDisabled.Image()); }
    QPixmap StoredBitmap() const { return QPixmap::fromImage(FBitmap.Image()); }
    QPixmap StoredGlyph() const { return QPixmap::fromImage(FGlyph.Image()); }
    void LoadBitmapOver(const QPixmap &p) { FBitmapOver.Assign(p.toImage()); }
    void LoadBitmapDown(const QPixmap &p) { FBitmapDown.Assign(p.toImage()); }
    void LoadBitmapUp(const QPixmap &p) { FBitmapUp.Assign(p.toImage()); }
    void LoadBitmapDisabled(const QPixmap &p) { FBitmapDisabled.Assign(p.toImage()); }
    void LoadBitmap(const QPixmap &p) { FBitmap.Assign(p.toImage()); }
    void LoadGlyph(const QPixmap &p) { FGlyph.Assign(p.toImage()); }

    void ApplyLayout();
    // Makes a state image current, sizes the button to it with AutoSize, and paints.
    void MakeCurrent(const TBitmap &image);
    void DrawImage(const TBitmap &image);
    // The paint routine, into the surface as it is.
    void PaintRoutine();
    // Makes the surface match the button's size; a new one is see-through.
    void FitSurface();
    // Shows the surface as it is at the next paint event.
    void Present();
    // The toolkit asks for a repaint of this part (button pixels): the next
    // paint event runs the paint routine there.
    void Invalidate(const QRegion &region);
    void PointerEntered();
    void PointerLeft();

    TBitmap FGlyph, FBitmapOver, FBitmapDown, FBitmapUp, FBitmap, FBitmapDisabled, FCurrent;
    QPoint FOffset;
    bool FTransparent = false;
    bool FAutoSize = true;
    QString FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    bool FPressed = false;
    bool FDoubleClickPress = false;
    bool FPointerInside = false;
    QImage FSurface;
    // The next paint event only shows the surface: the button drew it itself.
    bool FPresentPending = false;
    // Where the toolkit asked for a repaint since the last paint event.
    QRegion FInvalid;
    // The window whose exposures are watched; not owned.
    QPointer<QWindow> FWindow;
};
