// One key of the on-screen keyboard on the keyboard reader's parameter page. Its text holds the
// Shift character, a line feed, the Normal character, a tab and the AltGr character; the button
// draws Shift at the top left, Normal at the bottom left and AltGr at the bottom right, like the
// legend on a real key. The button has no command.
#pragma once

#include <QPushButton>

namespace veltra {

class LayoutKeyButton : public QPushButton {
    Q_OBJECT

public:
    explicit LayoutKeyButton(const QString& label, QWidget* parent = nullptr);

    // The three characters as drawn (each empty when the key has none), "&&" read as "&".
    QString shiftPart() const;
    QString normalPart() const;
    QString altGrPart() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace veltra
