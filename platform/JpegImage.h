#pragma once
// Decodes a JPEG picture through libjpeg.
#include <QByteArray>
#include <QImage>

// The decoded picture, or a null image when the data is not a readable JPEG.
QImage DecodeJpeg(const QByteArray &data);
