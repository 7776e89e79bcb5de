// A static text with its own colour, font, cursor and click behaviour. A left click opens the
// label's text when it is a web address ("https://...") or a mail address ("name@host"); with
// the link switch on, the click is then passed on as clicked().
#pragma once

#include <QColor>
#include <QLabel>

namespace veltra {

class CLabel : public QLabel {
    Q_OBJECT
public:
    explicit CLabel(QWidget* parent = nullptr);

    void setTextColor(const QColor& colour);
    QColor textColor() const;
    void setFontDescription(const QFont& font);
    void setItalic(bool on);
    void setFontName(const QString& face);
    void setFontSize(int points);
    // On: clicks reach the parent through clicked(). On from the start.
    void setLink(bool on);
    bool isLink() const { return link_; }
    using QLabel::setText;
    // The text with this string number.
    void setText(int stringId);

    // What a click on this text opens; empty for a text that is no address.
    static QUrl addressOf(const QString& text);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool link_ = true;
    bool pressed_ = false;
};

} // namespace veltra
