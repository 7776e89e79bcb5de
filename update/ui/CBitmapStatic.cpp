#include "update/ui/CBitmapStatic.h"

#include <QBitmap>
#include <QPainter>

namespace veltra {

CBitmapStatic::CBitmapStatic(QWidget* parent) : QLabel(parent) {}

void CBitmapStatic::setBitmap(const QPixmap& bitmap) {
    bitmap_ = bitmap;
    masked_ = bitmap;
    if (!masked_.isNull()) {
        masked_.setMask(bitmap.createMaskFromColor(Qt::white, Qt::MaskInColor));
    }
    setPixmap(bitmap);
    update();
}

void CBitmapStatic::setTransparent(bool on) {
    transparent_ = on;
    update();
}

void CBitmapStatic::paintEvent(QPaintEvent* event) {
    if (!transparent_ || masked_.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, masked_);
}

} // namespace veltra
