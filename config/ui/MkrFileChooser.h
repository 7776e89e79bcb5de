// Asking the technician for a configuration file name. The sheet uses the standard file dialog;
// tests put a chooser of their own in its place.
#pragma once

#include <QString>

class QWidget;

namespace veltra {

class MkrFileChooser {
public:
    virtual ~MkrFileChooser() = default;
    // The file to save to, starting in `folder`; asks before an existing file is overwritten.
    // Empty when the technician cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& folder) = 0;
    // An existing file to load, starting in `folder`. Empty when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& folder) = 0;
};

} // namespace veltra
