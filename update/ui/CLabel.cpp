#include "update/ui/CLabel.h"

#include "resources/strings/StringTable.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QUrl>

namespace veltra {

CLabel::CLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void CLabel::setTextColor(const QColor& colour) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
    update();
}

QColor CLabel::textColor() const {
    return palette().color(QPalette::WindowText);
}

void CLabel::setFontDescription(const QFont& font) {
    setFont(font);
    update();
}

void CLabel::setItalic(bool on) {
    QFont f = font();
    f.setItalic(on);
    setFontDescription(f);
}

void CLabel::setFontName(const QString& face) {
    QFont f = font();
    f.setFamily(face);
    setFontDescription(f);
}

void CLabel::setFontSize(int points) {
    QFont f = font();
    f.setPointSize(points);
    setFontDescription(f);
}

void CLabel::setLink(bool on) {
    link_ = on;
}

void CLabel::setText(int stringId) {
    setText(str(stringId));
}

QUrl CLabel::addressOf(const QString& text) {
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("https://")) || t.startsWith(QLatin1String("http://"))) {
        const QUrl url(t, QUrl::StrictMode);
        return url.isValid() ? url : QUrl();
    }
    static const QRegularExpression mail(QStringLiteral("^[^@\\s:/]+@[^@\\s:/]+\\.[^@\\s:/]+$"));
    if (mail.match(t).hasMatch()) {
        return QUrl(QStringLiteral("mailto:") + t);
    }
    return {};
}

void CLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void CLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->pos());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (!click) {
        return;
    }
    // Any other text is nothing the desktop can open, and the click simply goes on.
    if (const QUrl address = addressOf(text()); address.isValid() && !address.isEmpty()) {
        QDesktopServices::openUrl(address);
    }
    if (link_) {
        emit clicked();
    }
}

} // namespace veltra
