#include "app/KeyLockIndicators.h"

#include "resources/strings/StringTable.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>

namespace veltra {
namespace {

const char* ledSuffix(LockKey key) {
    switch (key) {
    case LockKey::Caps:
        return "::capslock";
    case LockKey::Num:
        return "::numlock";
    case LockKey::Scroll:
        return "::scrolllock";
    }
    return "";
}

constexpr int kPollMs = 300;

} // namespace

bool lockKeyActive(const QString& ledsDir, LockKey key) {
    const QString suffix = QString::fromLatin1(ledSuffix(key));
    const QDir dir(ledsDir);
    const QStringList leds = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& led : leds) {
        if (!led.endsWith(suffix)) {
            continue;
        }
        QFile brightness(dir.filePath(led + QStringLiteral("/brightness")));
        if (!brightness.open(QIODevice::ReadOnly)) {
            continue;
        }
        // The file holds a small decimal number; anything longer is not a brightness.
        const QByteArray text = brightness.read(16).trimmed();
        bool ok = false;
        if (text.toInt(&ok) > 0 && ok) {
            return true;
        }
    }
    return false;
}

KeyLockIndicators::KeyLockIndicators(QWidget* parent, const QString& ledsDir)
    : QWidget(parent), ledsDir_(ledsDir) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 4, 0);
    for (QLabel*& label : labels_) {
        label = new QLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(40);
        layout->addWidget(label);
    }
    retranslate();
    refresh();
    connect(&poll_, &QTimer::timeout, this, &KeyLockIndicators::refresh);
    poll_.start(kPollMs);
}

void KeyLockIndicators::retranslate() {
    labels_[0]->setText(str(70031));
    labels_[1]->setText(str(70032));
    labels_[2]->setText(str(70033));
}

void KeyLockIndicators::refresh() {
    const LockKey keys[3] = {LockKey::Caps, LockKey::Num, LockKey::Scroll};
    for (int i = 0; i < 3; ++i) {
        labels_[i]->setEnabled(lockKeyActive(ledsDir_, keys[i]));
    }
}

bool KeyLockIndicators::shown(LockKey key) const {
    return labels_[static_cast<int>(key)]->isEnabled();
}

} // namespace veltra
