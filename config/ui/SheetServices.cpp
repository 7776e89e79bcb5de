#include "config/ui/SheetServices.h"

namespace veltra {

SheetServices& sheetServices() {
    static SheetServices services;
    return services;
}

} // namespace veltra
