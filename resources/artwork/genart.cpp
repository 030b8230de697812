// Draws every picture of the program: the button state images and their glyph
// strips, the pattern tile, the folder picture and the help banner.
// Run: genart <image folder> [<icon folder>]   (the images are committed; rerun to remake them)
#include <algorithm>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace {

const QColor kKey(192, 192, 192);
const QColor kFace(0x6A, 0x5A, 0xE0);
const QColor kFaceDown(0x58, 0x48, 0xC8);
const QColor kRim(0x2E, 0x22, 0x78);
const QColor kDark(0x14, 0x10, 0x40);
const QColor kGrey(0x90, 0x90, 0x98);
const QColor kBright(0xFF, 0xF0, 0x40);

enum class Frame { Up, Disabled, Down, Over, Normal };
enum class Shape { Round, TallBar, Oval };

using LabelFn = std::function<void(QPainter &, const QRectF &, const QColor &)>;

void drawText(QPainter &p, const QRectF &r, const QColor &c, const QString &text, int px)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(px);
    f.setBold(true);
    f.setStyleStrategy(QFont::NoAntialias);
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, text);
}

QImage drawButton(int w, int h, Shape shape, Frame frame, const LabelFn &label)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kKey);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Leave the lower-left pixel to the key colour: it is the transparent key.
    QRectF box(0.5, 0.5, w - 2.0, h - 2.0);
    QPainterPath path;
    if (shape == Shape::Round || shape == Shape::Oval)
        path.addEllipse(box);
    else
        path.addRoundedRect(box, w / 2.0 - 1, w / 2.0 - 1);
    p.setPen(QPen(kRim, 1));
    p.setBrush(frame == Frame::Down ? kFaceDown : kFace);
    p.drawPath(path);
    if (frame == Frame::Down) {
        // Pressed look: a black rim at the top and the left.
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::NoBrush);
        QPainterPath arc;
        if (shape == Shape::TallBar) {
            const double r = w / 2.0 - 1;
            arc.moveTo(box.left(), box.bottom() - r);
            arc.lineTo(box.left(), box.top() + r);
            arc.arcTo(QRectF(box.left(), box.top(), 2 * r, 2 * r), 180, -90);
            arc.lineTo(box.right() - r, box.top());
        } else {
            arc.arcMoveTo(box, 45);
            arc.arcTo(box, 45, 180);
        }
        p.drawPath(arc);
    } else {
        // A highlight inside the rim gives the face some depth.
        p.setPen(QPen(kFace.lighter(130), 1));
        p.setBrush(Qt::NoBrush);
        QPainterPath arc;
        const QRectF inner = box.adjusted(1, 1, -1, -1);
        if (shape != Shape::TallBar) {
            arc.arcMoveTo(inner, 60);
            arc.arcTo(inner, 60, 90);
            p.drawPath(arc);
        }
    }
    QColor labelColor = kDark;
    if (frame == Frame::Disabled)
        labelColor = kGrey;
    else if (frame == Frame::Over || frame == Frame::Down)
        labelColor = frame == Frame::Over ? QColor(Qt::white) : kBright;
    QRectF labelBox = box;
    if (frame == Frame::Down)
        labelBox.translate(1, 1);
    label(p, labelBox, labelColor);
    return img;
}

struct ButtonArt {
    QString name;
    int w, h;
    Shape shape;
    LabelFn label;
    int stripWidth = 0;
};

void writeButton(const QString &dir, const ButtonArt &b)
{
    const Frame order[] = {Frame::Up, Frame::Disabled, Frame::Down, Frame::Over, Frame::Normal};
    const char *names[] = {"up", "disabled", "down", "over", "normal"};
    // Strips are 24 bits per pixel; a strip may be wider than five frames.
    QImage strip(std::max(b.w * 5, b.stripWidth), b.h, QImage::Format_RGB888);
    strip.fill(kKey);
    QPainter sp(&strip);
    for (int i = 0; i < 5; ++i) {
        // The released look is the normal look.
        const Frame f = order[i] == Frame::Up ? Frame::Normal : order[i];
        const QImage img = drawButton(b.w, b.h, b.shape, f, b.label);
        // State images are 32 bits per pixel, the fourth byte fully set and unused.
        img.convertToFormat(QImage::Format_ARGB32)
            .save(dir + QStringLiteral("/%1_%2.png").arg(b.name, QString::fromLatin1(names[i])));
        sp.drawImage(i * b.w, 0, img);
    }
    sp.end();
    strip.save(dir + QStringLiteral("/%1_glyph.png").arg(b.name));
}

QImage tile()
{
    static const unsigned rows[8][8] = {
        {0x000080, 0x000080, 0x000080, 0x937DE6, 0x937DE6, 0x694DDB, 0x4D2BD5, 0x4D2BD5},
        {0x000080, 0x000080, 0x937DE6, 0x694DDB, 0x694DDB, 0x4D2BD5, 0x39209F, 0x39209F},
        {0x000080, 0x937DE6, 0x694DDB, 0x4D2BD5, 0x4D2BD5, 0x4D2BD5, 0x39209F, 0x301B83},
        {0x937DE6, 0x694DDB, 0x4D2BD5, 0x4D2BD5, 0x39209F, 0x39209F, 0x301B83, 0x000080},
        {0x694DDB, 0x4D2BD5, 0x4D2BD5, 0x39209F, 0x301B83, 0x301B83, 0x000080, 0x000080},
        {0x4D2BD5, 0x4D2BD5, 0x39209F, 0x301B83, 0x000080, 0x000080, 0x000080, 0x000080},
        {0x4D2BD5, 0x39209F, 0x301B83, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080},
        {0x39209F, 0x301B83, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080},
    };
    QImage img(8, 8, QImage::Format_RGB888);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            img.setPixelColor(x, y, QColor::fromRgb(rows[y][x]));
    return img;
}

QImage folderGlyph()
{
    QImage img(14, 12, QImage::Format_RGB32);
    img.fill(QColor(255, 0, 255));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0x80, 0x80, 0x00));
    p.setBrush(QColor(0xFF, 0xFF, 0x00));
    p.drawRect(1, 3, 11, 7);
    p.drawRect(1, 1, 4, 2);
    p.setPen(Qt::black);
    p.drawLine(2, 10, 13, 10);
    p.drawLine(13, 4, 13, 10);
    p.end();
    return img.convertToFormat(QImage::Format_Indexed8);
}

QImage banner()
{
    QImage img(483, 72, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 0, 483, 72);
    g.setColorAt(0, QColor(0x00, 0x00, 0x80));
    g.setColorAt(1, QColor(0x4D, 0x2B, 0xD5));
    p.fillRect(img.rect(), g);
    // A small pie on the left, the name on the right.
    const QRectF pie(10, 6, 60, 60);
    const QColor colors[] = {QColor(0x1E, 0x00, 0x50), QColor(0x87, 0x00, 0xFF), Qt::white, QColor(0x5A, 0x00, 0xAF)};
    const int spans[] = {120, 90, 60, 90};
    int start = 0;
    for (int i = 0; i < 4; ++i) {
        p.setBrush(colors[i]);
        p.setPen(Qt::black);
        p.drawPie(pie, start * 16, spans[i] * 16);
        start += spans[i];
    }
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(48);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x00, 0xFF, 0xFF));
    p.drawText(QRectF(90, 0, 390, 72), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Quintavo"));
    return img;
}

// The desktop icon: the round frame with a small pie.
QImage icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double s = size;
    const QRectF outer(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
    p.setPen(QPen(QColor(0, 0, 255), std::max(1.0, s / 40)));
    p.setBrush(QBrush(tile().scaled(std::max(2, size / 16), std::max(2, size / 16))));
    p.drawEllipse(outer);
    const QRectF pie = outer.adjusted(s * 0.12, s * 0.12, -s * 0.12, -s * 0.12);
    const QColor colors[] = {Qt::white, QColor(0x1E, 0x00, 0x50), QColor(0x87, 0x00, 0xFF), QColor(0x4B, 0x00, 0x96)};
    const int spans[] = {70, 130, 100, 60};
    int start = 0;
    p.setPen(QPen(Qt::black, std::max(0.5, s / 128)));
    for (int i = 0; i < 4; ++i) {
        p.setBrush(colors[i]);
        p.drawPie(pie, start * 16, spans[i] * 16);
        start += spans[i];
    }
    return img;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    auto dash = [](QPainter &p, const QRectF &r, const QColor &c) {
        p.fillRect(QRectF(r.center().x() - 4, r.center().y() - 1, 8, 2), c);
    };
    auto cross = [](QPainter &p, const QRectF &r, const QColor &c) {
        p.setPen(QPen(c, 2));
        const QPointF m = r.center();
        p.drawLine(m + QPointF(-3, -3), m + QPointF(3, 3));
        p.drawLine(m + QPointF(-3, 3), m + QPointF(3, -3));
    };
    auto question = [](QPainter &p, const QRectF &r, const QColor &c) { drawText(p, r, c, QStringLiteral("?"), 12); };
    auto arrowUp = [](QPainter &p, const QRectF &r, const QColor &c) {
        const QPointF m = r.center();
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPolygon(QPolygonF({m + QPointF(0, -9), m + QPointF(6, -1), m + QPointF(2, -1), m + QPointF(2, 9),
                                 m + QPointF(-2, 9), m + QPointF(-2, -1), m + QPointF(-6, -1)}));
    };
    auto emblem = [](QPainter &p, const QRectF &r, const QColor &c) {
        // A little pie: yellow disc with a red slice, ringed in the label colour.
        const QRectF disc(r.center().x() - 6, r.center().y() - 6, 12, 12);
        p.setPen(QPen(c, 1));
        p.setBrush(QColor(0xFF, 0xE0, 0x00));
        p.drawEllipse(disc);
        p.setBrush(QColor(0xE0, 0x10, 0x10));
        p.drawPie(disc, 30 * 16, 100 * 16);
    };
    auto ok = [](QPainter &p, const QRectF &r, const QColor &c) { drawText(p, r, c, QStringLiteral("Ok"), 13); };
    auto cancel = [](QPainter &p, const QRectF &r, const QColor &c) {
        drawText(p, r, c, QStringLiteral("Annuler"), 11);
    };

    const ButtonArt buttons[] = {
        {QStringLiteral("minbtn"), 17, 17, Shape::Round, dash},
        {QStringLiteral("closebtn"), 17, 17, Shape::Round, cross},
        {QStringLiteral("helpbtn"), 17, 17, Shape::Round, question},
        {QStringLiteral("backbtn"), 19, 44, Shape::TallBar, arrowUp},
        {QStringLiteral("scanbtn"), 19, 44, Shape::TallBar, emblem},
        {QStringLiteral("okbtn"), 37, 36, Shape::Round, ok, 186},
        {QStringLiteral("cancelbtn"), 59, 28, Shape::Oval, cancel},
    };
    for (const ButtonArt &b : buttons)
        writeButton(out, b);
    tile().save(out + QStringLiteral("/tile.png"));
    folderGlyph().save(out + QStringLiteral("/folderglyph.png"));
    banner().save(out + QStringLiteral("/banner.jpg"), "JPG", 90);
    const QString icons = argc > 2 ? QString::fromLocal8Bit(argv[2]) : out + QStringLiteral("/icons");
    QDir().mkpath(icons);
    for (int size : {16, 32, 48, 64, 128, 256})
        icon(size).save(icons + QStringLiteral("/quintavo-%1.png").arg(size));
    return 0;
}
