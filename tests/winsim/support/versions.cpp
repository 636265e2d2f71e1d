#include "versions.h"

#include <winsim/machine.h>

const char *PlaceVersionedFile(const char *path, DWORD fileMS, DWORD fileLS) {
    winsim::Machine &m = winsim::LocalMachine();
    m.PutFile(path, "MZ");
    winsim::Machine::FileVersion &v = m.fileVersions[path];
    v.fileMS = v.productMS = fileMS;
    v.fileLS = v.productLS = fileLS;
    return nullptr;
}
