// Draws the program's artwork: the main window's background picture, the toolbar symbols and
// the logo of the about box.
//   veltra-gen-artwork OUTPUT_DIR
// The PNG files it writes are kept in the source tree; run it again after changing a drawing.
//   veltra-gen-artwork --icons OUTPUT_DIR
// draws the program's desktop icon, the logo's reader and radio field on a transparent square,
// at the sizes of the desktop's icon theme (quarnel-veltra-<n>.png); the build does this.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kInk(0x1f, 0x3a, 0x5f);
const QColor kAccent(0x2f, 0x80, 0xc8);
const QColor kWarm(0xe8, 0x8a, 0x1a);

// Arcs of a radio field spreading to the right of `centre`.
void drawWaves(QPainter& p, QPointF centre, int count, double step, const QColor& colour,
               double width) {
    for (int i = 1; i <= count; ++i) {
        QColor c = colour;
        c.setAlphaF(1.0 - 0.18 * (i - 1));
        p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
        const double r = step * i;
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
}

// A reader housing seen from the front, in a w x h box at `origin`.
void drawReader(QPainter& p, QRectF box) {
    QLinearGradient body(box.topLeft(), box.bottomLeft());
    body.setColorAt(0, QColor(0x5b, 0x6b, 0x7d));
    body.setColorAt(1, QColor(0x2c, 0x36, 0x42));
    p.setPen(QPen(QColor(0x1a, 0x20, 0x28), 2));
    p.setBrush(body);
    p.drawRoundedRect(box, box.width() * 0.12, box.width() * 0.12);
    const QRectF field = box.adjusted(box.width() * 0.14, box.height() * 0.1, -box.width() * 0.14,
                                      -box.height() * 0.45);
    p.setBrush(QColor(0x9f, 0xd3, 0xf5));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(field, 4, 4);
    p.setBrush(QColor(0x4c, 0xd1, 0x6a));
    const double led = box.width() * 0.12;
    p.drawEllipse(QRectF(box.center().x() - led / 2, box.bottom() - box.height() * 0.3, led, led));
}

void drawCard(QPainter& p, QRectF box) {
    p.setPen(QPen(QColor(0x8a, 0x93, 0x9e), 1.5));
    p.setBrush(QColor(0xfa, 0xfa, 0xf7));
    p.drawRoundedRect(box, box.height() * 0.12, box.height() * 0.12);
    p.setPen(QPen(kWarm, std::max(1.5, box.height() * 0.05)));
    p.setBrush(Qt::NoBrush);
    const QRectF coil = box.adjusted(box.width() * 0.15, box.height() * 0.18, -box.width() * 0.15,
                                     -box.height() * 0.18);
    for (int i = 0; i < 3; ++i) {
        const double inset = i * coil.height() * 0.14;
        p.drawRoundedRect(coil.adjusted(inset, inset, -inset, -inset), 3, 3);
    }
}

// The background at `scale` times its size of 720 x 450 (2 for high-density displays).
QImage background(int scale) {
    QImage image(720 * scale, 450 * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    const QColor ground(0xee, 0xf2, 0xf6);
    image.fill(ground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A soft band across the lower half.
    QLinearGradient band(0, 180, 0, 450);
    band.setColorAt(0, ground);
    band.setColorAt(1, QColor(0xc9, 0xd8, 0xe8));
    p.fillRect(QRect(0, 180, 720, 270), band);
    QRadialGradient glow(QPointF(250, 250), 260);
    glow.setColorAt(0, QColor(255, 255, 255, 200));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), glow);

    drawReader(p, QRectF(150, 150, 130, 200));
    drawWaves(p, QPointF(285, 230), 5, 32, kAccent, 6);
    p.save();
    p.translate(480, 235);
    p.rotate(-12);
    drawCard(p, QRectF(-70, -45, 140, 90));
    p.restore();

    QFont title(QStringLiteral("DejaVu Sans"), 30, QFont::Bold);
    p.setFont(title);
    p.setPen(kInk);
    p.drawText(QRectF(0, 40, 720, 50), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Quarnel Veltra"));
    QFont sub(QStringLiteral("DejaVu Sans"), 13);
    p.setFont(sub);
    p.setPen(QColor(0x4a, 0x5a, 0x6e));
    p.drawText(QRectF(0, 88, 720, 28), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("125 kHz RFID"));
    return image;
}

QImage symbol(const std::function<void(QPainter&)>& draw) {
    QImage image(80, 80, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return image;
}

void gear(QPainter& p, QPointF c, double r, const QColor& colour) {
    QPainterPath path;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a0 = (i * M_PI) / teeth;
        const double a1 = ((i + 1) * M_PI) / teeth;
        const double rr = (i % 2 == 0) ? r : r * 0.78;
        const QPointF p0(c.x() + rr * std::cos(a0), c.y() + rr * std::sin(a0));
        const QPointF p1(c.x() + rr * std::cos(a1), c.y() + rr * std::sin(a1));
        if (i == 0) {
            path.moveTo(p0);
        } else {
            path.lineTo(p0);
        }
        path.lineTo(p1);
    }
    path.closeSubpath();
    path.addEllipse(c, r * 0.35, r * 0.35);
    p.setPen(QPen(colour.darker(140), 2));
    p.setBrush(colour);
    p.drawPath(path);
}

} // namespace

// The maker's logo of the about box, on white (drawn transparently there).
QImage logo() {
    QImage image(96, 96, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawReader(p, QRectF(10, 18, 40, 62));
    drawWaves(p, QPointF(46, 46), 3, 12, kAccent, 4);
    return image;
}

// The desktop icon at `size` pixels: the logo's drawing, drawn afresh at that size.
QImage desktopIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The logo's drawing spans about 8..86 across and 17..81 down its 96 pixels.
    const double scale = size / 80.0;
    p.scale(scale, scale);
    p.translate(-7, -9);
    drawReader(p, QRectF(10, 18, 40, 62));
    drawWaves(p, QPointF(46, 46), 3, 12, kAccent, size < 32 ? 6 : 4);
    return image;
}

int writeIcons(const QDir& out) {
    int failed = 0;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString file = out.filePath(QStringLiteral("quarnel-veltra-%1.png").arg(size));
        if (!desktopIcon(size).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--icons") {
        const QString dir = QString::fromLocal8Bit(argv[2]);
        QDir().mkpath(dir);
        return writeIcons(QDir(dir));
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s [--icons] OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    struct Item {
        const char* name;
        QImage image;
    };
    const Item items[] = {
        {"background.png", background(1)},
        {"background@2x.png", background(2)},
        {"logo.png", logo()},
        {"configure.png", symbol([](QPainter& p) {
             drawReader(p, QRectF(6, 14, 36, 56));
             gear(p, QPointF(54, 50), 20, kAccent);
         })},
        {"readconfig.png", symbol([](QPainter& p) {
             drawReader(p, QRectF(6, 14, 36, 56));
             p.setPen(QPen(kInk, 2));
             p.setBrush(QColor(0xff, 0xff, 0xff));
             p.drawRect(QRectF(44, 18, 30, 40));
             p.setPen(QPen(kAccent, 3));
             for (int i = 0; i < 4; ++i) {
                 p.drawLine(QPointF(49, 27 + i * 8), QPointF(69, 27 + i * 8));
             }
         })},
        {"interface.png", symbol([](QPainter& p) {
             p.setPen(QPen(kInk, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.setBrush(Qt::NoBrush);
             QPainterPath cable;
             cable.moveTo(10, 60);
             cable.cubicTo(30, 60, 30, 28, 46, 28);
             p.drawPath(cable);
             p.setPen(QPen(QColor(0x1a, 0x20, 0x28), 2));
             p.setBrush(QColor(0x7a, 0x86, 0x94));
             p.drawRoundedRect(QRectF(44, 16, 26, 24), 3, 3);
             p.setBrush(QColor(0xd9, 0xa4, 0x3a));
             p.drawRect(QRectF(70, 21, 6, 5));
             p.drawRect(QRectF(70, 30, 6, 5));
             drawWaves(p, QPointF(40, 58), 3, 8, kAccent, 3);
         })},
        {"about.png", symbol([](QPainter& p) {
             p.setPen(QPen(kInk.darker(120), 2));
             p.setBrush(kAccent);
             p.drawEllipse(QRectF(8, 8, 64, 64));
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::white);
             p.drawEllipse(QRectF(35, 18, 10, 10));
             p.drawRoundedRect(QRectF(35, 33, 10, 30), 3, 3);
         })},
        {"help.png", symbol([](QPainter& p) {
             p.setPen(QPen(kInk, 2));
             p.setBrush(QColor(0xfd, 0xfd, 0xfb));
             p.drawRect(QRectF(14, 8, 46, 62));
             p.setBrush(QColor(0xc8, 0x3a, 0x2f));
             p.setPen(Qt::NoPen);
             p.drawRect(QRectF(14, 8, 46, 14));
             QFont f(QStringLiteral("DejaVu Sans"), 22, QFont::Bold);
             p.setFont(f);
             p.setPen(kAccent);
             p.drawText(QRectF(14, 24, 46, 44), Qt::AlignCenter, QStringLiteral("?"));
         })},
        {"exit.png", symbol([](QPainter& p) {
             p.setPen(QPen(kInk, 3));
             p.setBrush(QColor(0xe6, 0xe9, 0xee));
             p.drawRect(QRectF(10, 10, 36, 60));
             p.setBrush(QColor(0x8c, 0x5a, 0x32));
             p.drawRect(QRectF(16, 16, 24, 48));
             p.setPen(
                 QPen(QColor(0xc8, 0x3a, 0x2f), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.drawLine(QPointF(44, 40), QPointF(72, 40));
             p.drawLine(QPointF(62, 30), QPointF(72, 40));
             p.drawLine(QPointF(62, 50), QPointF(72, 40));
         })},
    };
    for (const Item& item : items) {
        const QString path = out.filePath(QString::fromLatin1(item.name));
        if (!item.image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
