// Plumbing shared by the installer, user32, resource and system functions
// of winsim (not part of the control API).
#ifndef WINSIM_SIM_HELPERS_H
#define WINSIM_SIM_HELPERS_H

#include "internal.h"

#include <string>

// Fault gate of functions without a result (GetLocalTime, Sleep, ...): an
// injected failure skips the call and sets the last error.
#define WINSIM_FAULT_RETURN_VOID(fn)                     \
    do {                                                 \
        DWORD winsimFault_ = ::winsim::TakeFault(fn);    \
        if (winsimFault_) {                              \
            SetLastError(winsimFault_);                  \
            return;                                      \
        }                                                \
    } while (0)

namespace winsim {

// ---- resources (resources.cpp) -----------------------------------------------
// How a string table lookup ended, as LoadString reports it.
enum class StringLookup {
    Found,
    NoResources,    // the module has no resource section: ERROR_RESOURCE_DATA_NOT_FOUND
    NoStringTable,  // no RT_STRING resources: ERROR_RESOURCE_TYPE_NOT_FOUND
    NoBlock,        // no block of 16 holding the id: ERROR_RESOURCE_NAME_NOT_FOUND
    EmptySlot,      // the block exists, the id has no text: a zero-length string
};
StringLookup FindStringResource(HMODULE module, UINT id, std::string &out);

// ---- user32 (user32.cpp) -------------------------------------------------------
// The button MessageBox presses when nobody answers: the default button of
// the style (MB_DEFBUTTONn), or 0 for a style that names no buttons.
int DefaultButtonOfStyle(UINT style);

// Lead byte of the machine's ANSI code page (always false on 1252).
bool IsLeadByteOf(unsigned codePage, unsigned char c);
unsigned CurrentCodePage();

// The argument source of the wsprintf formatter: va_list for wsprintf,
// an array of DWORD_PTR values for FormatMessage inserts.
struct PrintfArgs {
    virtual ~PrintfArgs() = default;
    virtual int Int() = 0;
    virtual long long Int64() = 0;
    virtual const void *Pointer() = 0;
};
// Formats like wvsprintfA; stops after `limit` characters.
std::string FormatWsprintf(const char *format, PrintfArgs &args, size_t limit);

}  // namespace winsim

#endif
