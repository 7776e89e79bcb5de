// The power-on mode dialog: which operating mode the reader starts in after power-on.
#pragma once

#include "config/workflow/ReaderConnector.h"

#include <QDialog>

class QRadioButton;

namespace veltra {

class CReaderConfig : public QDialog {
    Q_OBJECT
public:
    // `reader` is open in programming mode; the caller closes it afterwards. Its DeviceFeatures
    // decide whether "Lesermodus ohne Ausgabe" can be chosen.
    explicit CReaderConfig(const OpenResult& reader, QWidget* parent = nullptr,
                           ReaderLink& link = qnLink());

    // The selected button: 0 programming mode, 1 reader mode, 2 reader mode without output,
    // -1 none.
    int selection() const;
    void select(int index);

    // Reads the reader's stored mode and selects the matching button (done when shown).
    void readMode();

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    ReaderLink& link_;
    int handle_;
    bool modeRead_ = false;
    QRadioButton* buttons_[3] = {};
};

} // namespace veltra
