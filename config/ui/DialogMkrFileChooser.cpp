#include "config/ui/DialogMkrFileChooser.h"

#include "config/MkrFile.h"
#include "resources/strings/StringTable.h"

#include <QFileDialog>

namespace veltra {
namespace {

QString chooseFile(QWidget* parent, const QString& folder, bool saving) {
    QFileDialog dialog(parent, str(saving ? 75515 : 75516), folder,
                       QString::fromLatin1(kMkrFileFilter));
    dialog.setDefaultSuffix(QString::fromLatin1(kMkrDefaultExtension));
    if (saving) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString DialogMkrFileChooser::saveFileName(QWidget* parent, const QString& folder) {
    return chooseFile(parent, folder, true);
}

QString DialogMkrFileChooser::openFileName(QWidget* parent, const QString& folder) {
    return chooseFile(parent, folder, false);
}

} // namespace veltra
