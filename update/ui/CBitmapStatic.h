// A static picture. With transparent drawing on, every white pixel lets the background show.
#pragma once

#include <QLabel>
#include <QPixmap>

namespace veltra {

class CBitmapStatic : public QLabel {
    Q_OBJECT
public:
    explicit CBitmapStatic(QWidget* parent = nullptr);

    void setBitmap(const QPixmap& bitmap);
    void setTransparent(bool on);
    bool isTransparent() const { return transparent_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap bitmap_;
    QPixmap masked_; // the bitmap with white made transparent
    bool transparent_ = false;
};

} // namespace veltra
