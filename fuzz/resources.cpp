// Resource scripts: a script either compiles or is refused with an error
// naming its line; what compiles gives strings that LoadStringA copies
// within the room it is offered, the same text LookupString gives.
#include "fuzz_support.h"

#include <cctype>
#include <cstring>
#include <set>
#include <vector>

namespace {

const HMODULE kModule = (HMODULE)(uintptr_t)0x7B000000;

// The string ids worth asking for: the numbers the script names, and a few.
std::set<UINT> Ids(const std::string &text) {
    std::set<UINT> ids = {0, 1, 2, 15, 16, 17, 100, 0xFFFF};
    for (size_t i = 0; i < text.size();) {
        if (!std::isdigit((unsigned char)text[i])) {
            ++i;
            continue;
        }
        unsigned long long v = 0;
        while (i < text.size() && std::isdigit((unsigned char)text[i]) && v < 0x100000000ull)
            v = v * 10 + (text[i++] - '0');
        if (v < 0x100000000ull && ids.size() < 64) ids.insert((UINT)v);
    }
    return ids;
}

void CheckStrings(const std::set<UINT> &ids) {
    const char canary[] = "\x5a\xa5\x5a\xa5";
    for (UINT id : ids) {
        std::string looked;
        bool found = winsim::LookupString(kModule, id, looked);
        QL_FUZZ_CHECK(!found || (id <= 0xFFFF && !looked.empty()), "string %u found empty or out of range", id);
        for (int room : {1, 2, 8, 300}) {
            std::vector<char> buffer(room + sizeof canary, 'q');
            memcpy(buffer.data() + room, canary, sizeof canary);
            int n = LoadStringA(kModule, id, buffer.data(), room);
            QL_FUZZ_CHECK(memcmp(buffer.data() + room, canary, sizeof canary) == 0, "LoadStringA %u wrote past %d", id,
                          room);
            QL_FUZZ_CHECK(n >= 0 && n < room, "LoadStringA %u gives %d for room %d", id, n, room);
            const std::string expected = found ? looked.substr(0, room - 1) : std::string();
            QL_FUZZ_CHECK(n == (int)expected.size() && memcmp(buffer.data(), expected.data(), n) == 0 &&
                              buffer[n] == '\0',
                          "LoadStringA %u with room %d", id, room);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    qlfuzz::Machine();
    const std::string text = qlfuzz::Text(data, size);
    // A NUL splits the input into headers and script, as the library's
    // own resources come.
    const size_t nul = text.find('\0');
    try {
        if (nul == std::string::npos)
            winsim::RegisterModuleResources(kModule, text);
        else
            winsim::RegisterModuleResources(kModule, text.substr(0, nul), text.substr(nul + 1));
    } catch (const winsim::ImageError &e) {
        QL_FUZZ_CHECK(e.line >= 0, "an error without its line: %s", e.what());
        return 0;
    }
    CheckStrings(Ids(text));
    winsim::DialogTemplate dialog;
    for (UINT id : Ids(text))
        if (winsim::LookupDialog(kModule, id, dialog))
            QL_FUZZ_CHECK(!dialog.extended || dialog.controls.size() < 100000, "dialog %u", id);
    return 0;
}
