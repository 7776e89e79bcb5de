// The prefix page of the configuration sheet.
#pragma once

#include "keys/ui/CEingabeBasisRegisterkarteSeriell.h"
#include "resources/strings/StringTable.h"

namespace veltra {

class CPrefixRegisterkarteSeriell : public CEingabeBasisRegisterkarteSeriell {
public:
    explicit CPrefixRegisterkarteSeriell(QWidget* parent = nullptr)
        : CEingabeBasisRegisterkarteSeriell(str(129), str(129), parent) {}
};

} // namespace veltra
