// What a test double reads and writes on the simulated machine: its
// settings and a record of its calls, in the machine's environment.
#ifndef QL_DOUBLE_ENV_H
#define QL_DOUBLE_ENV_H

#include <windows.h>

#include <cstdlib>
#include <string>

inline std::string DoubleSetting(const char *name, const char *fallback) {
    char value[1024] = "";
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? std::string(value) : std::string(fallback);
}

inline unsigned long DoubleNumber(const char *name, unsigned long fallback) {
    std::string text = DoubleSetting(name, "");
    return text.empty() ? fallback : std::strtoul(text.c_str(), nullptr, 0);
}

// Appends one call to the variable, calls separated by "; ".
inline void DoubleRecord(const char *variable, const std::string &call) {
    std::string calls = DoubleSetting(variable, "");
    if (!calls.empty()) calls += "; ";
    calls += call;
    SetEnvironmentVariableA(variable, calls.c_str());
}

#endif
