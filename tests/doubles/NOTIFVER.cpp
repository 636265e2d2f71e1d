// Stand-in for the alert version library "NOTIFVER.DLL": reports the alert
// build the setup carries, from the machine's NOTIFVER_BUILD variable.
#include <windows.h>

#include <cstring>

extern "C" __attribute__((visibility("default"))) int WINAPI AlGetBuildNumberA(char *buffer) {
    char value[64] = "";
    if (!GetEnvironmentVariableA("NOTIFVER_BUILD", value, sizeof value)) strcpy(value, "412 (release)");
    strcpy(buffer, value);
    return 1;
}
