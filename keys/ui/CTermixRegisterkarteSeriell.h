// The block separator page of the configuration sheet.
#pragma once

#include "CEingabeBasisRegisterkarteSeriell.h"
#include "StringTable.h"

namespace veltra {

class CTermixRegisterkarteSeriell : public CEingabeBasisRegisterkarteSeriell {
public:
    explicit CTermixRegisterkarteSeriell(QWidget* parent = nullptr)
        : CEingabeBasisRegisterkarteSeriell(str(149), str(155), parent) {}
};

} // namespace veltra
