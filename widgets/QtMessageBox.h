// The message box the program shows: Qt's message box with the program's title, an OK button
// for messages and "Ja"/"Nein" for questions.
#pragma once

#include "widgets/IMessageBox.h"

namespace veltra {

class QtMessageBox final : public IMessageBox {
public:
    void show(QWidget* parent, const QString& text, Kind kind) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
    bool askRetry(QWidget* parent, const QString& text, const QString& caption) override;
};

} // namespace veltra
