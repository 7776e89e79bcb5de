// The block separator page of the configuration sheet.
#pragma once

#include "keys/ui/CEingabeBasisRegisterkarteSeriell.h"
#include "resources/strings/StringTable.h"

namespace veltra {

class CTermixRegisterkarteSeriell : public CEingabeBasisRegisterkarteSeriell {
public:
    explicit CTermixRegisterkarteSeriell(QWidget* parent = nullptr)
        : CEingabeBasisRegisterkarteSeriell(str(149), str(155), parent) {}
};

} // namespace veltra
