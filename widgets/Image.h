#pragma once
// A picture holder; the main window keeps its pattern tile in a hidden one.
#include <QImage>
#include <QPixmap>
#include <QWidget>

class TImage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap Picture READ Picture WRITE SetPicture)

public:
    explicit TImage(QWidget *parent = nullptr) : QWidget(parent) {}
    QPixmap Picture() const { return QPixmap::fromImage(FImage); }
    void SetPicture(const QPixmap &p) { FImage = p.toImage().convertToFormat(QImage::Format_RGB888); update(); }
    // The picture as a bitmap: the caller copies what it keeps.
    const QImage &Bitmap() const { return FImage; }
    // Draws the picture stretched into the control.
    bool Stretch = false;

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QImage FImage;
};
