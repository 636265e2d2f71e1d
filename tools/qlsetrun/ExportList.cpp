// The export list this runner was built with, kept apart from Package.cpp so
// that tests can use the package's tables with export lists of their own.
#include "Package.h"

extern const char kQlExportList[];  // generated from resources/QLSETGUI.def

namespace qlsetrun {

const std::string &BuiltExportList() {
    static const std::string kText = kQlExportList;
    return kText;
}

}  // namespace qlsetrun
