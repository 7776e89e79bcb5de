// The pull-off page of the configuration sheet.
#pragma once

#include "keys/ui/CEingabeBasisRegisterkarteSeriell.h"
#include "resources/strings/StringTable.h"

namespace veltra {

class CEndeRegisterkarteSeriell : public CEingabeBasisRegisterkarteSeriell {
public:
    explicit CEndeRegisterkarteSeriell(QWidget* parent = nullptr)
        : CEingabeBasisRegisterkarteSeriell(str(131), str(131), parent) {}
};

} // namespace veltra
