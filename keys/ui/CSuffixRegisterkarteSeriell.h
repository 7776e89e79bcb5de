// The suffix page of the configuration sheet.
#pragma once

#include "CEingabeBasisRegisterkarteSeriell.h"
#include "StringTable.h"

namespace veltra {

class CSuffixRegisterkarteSeriell : public CEingabeBasisRegisterkarteSeriell {
public:
    explicit CSuffixRegisterkarteSeriell(QWidget* parent = nullptr)
        : CEingabeBasisRegisterkarteSeriell(str(130), str(76008), parent) {}
};

} // namespace veltra
