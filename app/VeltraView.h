// The main window's view: the background picture on a plain ground of its corner colour.
#pragma once

#include <QImage>
#include <QWidget>

namespace veltra {

class CVeltraView : public QWidget {
    Q_OBJECT
public:
    // Width of the picture and height of the client area, before scaling to the display.
    static constexpr int kWidth = 720;
    static constexpr int kHeight = 450;

    // An empty `picture` means the background could not be loaded; the program does not start
    // without it (see isValid()).
    explicit CVeltraView(const QImage& picture, QWidget* parent = nullptr);

    bool isValid() const { return !picture_.isNull(); }
    // Logical DPI of the display relative to 96; 1.0 when the display reports none.
    double dpiScale() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

// The background picture built into the program, in the resolution that suits a display of
// this device pixel ratio.
QImage loadBackgroundPicture(qreal pixelRatio);

} // namespace veltra
