// Stand-in for the product-map library "HarnProd.dll": code names and
// component codes for the product types setup asks about.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
const char *CodeName(long productType) {
    switch (productType) {
    case 24: return "Quillbak";
    case 36: return "NTAgent";
    case 62: return "W95Agent";
    case 35: return "ChangerOption";
    // A name longer than the record holds: the caller keeps 23 characters.
    case 99: return "AVeryLongProductCodeNameIndeed";
    default: return "";
    }
}
}  // namespace

extern "C" __attribute__((visibility("default"))) int WINAPI HPGetProductMapInfo(long productType, void *record) {
    BYTE *r = static_cast<BYTE *>(record);
    r[0] = (BYTE)productType;
    const char *name = CodeName(productType);
    // Bytes 4 to 27 of the 28-byte record; the name is cut without a NUL
    // when it is longer, as a careless implementation would leave it.
    size_t n = strlen(name);
    memcpy(r + 4, name, n < 24 ? n + 1 : 24);
    return 1;
}

extern "C" __attribute__((visibility("default"))) int WINAPI HPGetProductComponentCode2A(long productType,
                                                                                        signed char subType,
                                                                                        char *code) {
    char text[32];
    snprintf(text, sizeof text, "qb%ld_%d", productType, (int)subType);
    strncpy(code, text, 7);  // the caller's buffer holds 8 bytes
    code[7] = '\0';
    return 1;
}
