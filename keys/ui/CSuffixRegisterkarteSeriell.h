// The suffix page of the configuration sheet.
#pragma once

#include "keys/ui/CEingabeBasisRegisterkarteSeriell.h"
#include "resources/strings/StringTable.h"

namespace veltra {

class CSuffixRegisterkarteSeriell : public CEingabeBasisRegisterkarteSeriell {
public:
    explicit CSuffixRegisterkarteSeriell(QWidget* parent = nullptr)
        : CEingabeBasisRegisterkarteSeriell(str(130), str(76008), parent) {}
};

} // namespace veltra
