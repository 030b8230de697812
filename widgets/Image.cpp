#include "widgets/Image.h"

#include <QPainter>

void TImage::paintEvent(QPaintEvent *)
{
    if (FImage.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (Stretch)
        p.drawImage(rect(), FImage);
    else
        p.drawImage(0, 0, FImage);
}
