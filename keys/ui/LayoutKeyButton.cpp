#include "keys/ui/LayoutKeyButton.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace veltra {
namespace {

struct KeyParts {
    QString shift;
    QString normal;
    QString altGr;
};

// Splits at the first line feed (top part) and the rest at the first tab.
KeyParts partsOf(const QString& text) {
    KeyParts parts;
    const qsizetype lineFeed = text.indexOf(QLatin1Char('\n'));
    if (lineFeed < 0) {
        parts.shift = text;
    } else {
        parts.shift = text.left(lineFeed);
        const QString rest = text.mid(lineFeed + 1);
        const qsizetype tab = rest.indexOf(QLatin1Char('\t'));
        parts.normal = tab < 0 ? rest : rest.left(tab);
        parts.altGr = tab < 0 ? QString() : rest.mid(tab + 1);
    }
    for (QString* part : {&parts.shift, &parts.normal, &parts.altGr}) {
        part->replace(QStringLiteral("&&"), QStringLiteral("&"));
    }
    return parts;
}

} // namespace

LayoutKeyButton::LayoutKeyButton(const QString& label, QWidget* parent) : QPushButton(parent) {
    setText(label);
    setFocusPolicy(Qt::NoFocus);
    setAutoDefault(false);
}

QString LayoutKeyButton::shiftPart() const {
    return partsOf(text()).shift.trimmed();
}
QString LayoutKeyButton::normalPart() const {
    return partsOf(text()).normal.trimmed();
}
QString LayoutKeyButton::altGrPart() const {
    return partsOf(text()).altGr;
}

void LayoutKeyButton::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear(); // the frame only; the legend is drawn below
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const KeyParts parts = partsOf(text());
    QRect area = rect().adjusted(5, 3, -5, -3);
    if (isDown()) {
        area.translate(1, 1);
    }
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    const int flags = Qt::TextSingleLine;
    painter.drawText(area, flags | Qt::AlignLeft | Qt::AlignTop, parts.shift);
    painter.drawText(area, flags | Qt::AlignLeft | Qt::AlignBottom, parts.normal);
    painter.drawText(area, flags | Qt::AlignRight | Qt::AlignBottom, parts.altGr);
}

} // namespace veltra
