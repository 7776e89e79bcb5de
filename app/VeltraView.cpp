#include "app/VeltraView.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

// The artwork lives in a static library; its resources have to be registered by hand.
static void registerArtwork() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(images);
        return true;
    }();
    (void)registered;
}

namespace veltra {

QImage loadBackgroundPicture(qreal pixelRatio) {
    registerArtwork();
    if (pixelRatio > 1.0) {
        // Drawn at twice the size, so high-density displays show it sharp.
        QImage sharp(QStringLiteral(":/images/background@2x.png"));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return QImage(QStringLiteral(":/images/background.png"));
}

CVeltraView::CVeltraView(const QImage& picture, QWidget* parent)
    : QWidget(parent), picture_(picture) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

double CVeltraView::dpiScale() const {
    const int dpi = logicalDpiX();
    return dpi > 0 ? dpi / 96.0 : 1.0;
}

QSize CVeltraView::sizeHint() const {
    const double scale = dpiScale();
    return {static_cast<int>(std::lround(kWidth * scale)),
            static_cast<int>(std::lround(kHeight * scale))};
}

void CVeltraView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QColor ground =
        picture_.isNull() ? palette().window().color() : picture_.pixelColor(0, 0);
    painter.fillRect(event->rect(), ground);
    if (picture_.isNull()) {
        return;
    }
    const double scale = dpiScale();
    const QSizeF size = picture_.deviceIndependentSize();
    const QSize drawn(static_cast<int>(std::lround(size.width() * scale)),
                      static_cast<int>(std::lround(size.height() * scale)));
    const QRect target((width() - drawn.width()) / 2, 0, drawn.width(), drawn.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture_);
}

} // namespace veltra
