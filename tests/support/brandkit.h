// Puts a stand-in of the branding library on the local simulated machine
// and sets its answers.
#ifndef QL_TEST_BRANDKIT_H
#define QL_TEST_BRANDKIT_H

#include <winsim/machine.h>

#include <string>

#include "../doubles/BrandKitConfig.h"
#include "doubles.h"

// Where a plain LoadLibraryA("BRANDKIT.DLL") finds it.
inline const char *BrandKitSystemPath() { return "C:\\WINNT\\system32\\BRANDKIT.DLL"; }

// variant: "BRANDKIT" (all seven exports), "BRANDKIT_ROOTS_ONLY",
// "BRANDKIT_NO_ROOTS".
inline void InstallBrandKit(const std::string &variant = "BRANDKIT", const std::string &path = BrandKitSystemPath()) {
    InstallDouble(variant, path);
}

inline void SetBrandKitText(const char *value, const std::string &text) {
    winsim::LocalMachine().registry.SetString(BRANDKIT_DOUBLE_KEY, value, text);
}

inline void SetBrandKitNumber(const char *value, DWORD number) {
    winsim::LocalMachine().registry.SetDword(BRANDKIT_DOUBLE_KEY, value, number);
}

inline std::string BrandKitText(const char *value) {
    std::string text;
    winsim::LocalMachine().registry.GetString(BRANDKIT_DOUBLE_KEY, value, text);
    return text;
}

#endif
