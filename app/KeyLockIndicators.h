// The caps-lock, num-lock and scroll-lock indicators of the status bar. The states come from the
// keyboard LEDs the kernel exposes (/sys/class/leds/*::capslock and so on); an indicator whose
// key is off shows greyed, as is usual for status-bar indicators.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;

namespace veltra {

enum class LockKey { Caps, Num, Scroll };

// Whether any keyboard LED of this kind under `ledsDir` is lit.
bool lockKeyActive(const QString& ledsDir, LockKey key);

class KeyLockIndicators : public QWidget {
    Q_OBJECT
public:
    explicit KeyLockIndicators(QWidget* parent = nullptr,
                               const QString& ledsDir = QStringLiteral("/sys/class/leds"));

    void retranslate();
    // Reads the LEDs again.
    void refresh();
    bool shown(LockKey key) const;

private:
    QString ledsDir_;
    QLabel* labels_[3] = {};
    QTimer poll_;
};

} // namespace veltra
