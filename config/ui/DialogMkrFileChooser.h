#pragma once

#include "config/ui/MkrFileChooser.h"

namespace veltra {

// The standard file dialog with the filter "Quarnel (*.mkr)" and the extension "mkr".
class DialogMkrFileChooser final : public MkrFileChooser {
public:
    QString saveFileName(QWidget* parent, const QString& folder) override;
    QString openFileName(QWidget* parent, const QString& folder) override;
};

} // namespace veltra
