// UTF-16 texts of the network and security functions, for tests whose
// names are plain ASCII.
#ifndef TESTS_WINSIM_SUPPORT_WIDE_H
#define TESTS_WINSIM_SUPPORT_WIDE_H

#include <windows.h>

#include <string>
#include <vector>

inline std::string Text(const WCHAR *w) {
    std::string s;
    for (; w && *w; ++w) s += (char)*w;
    return s;
}

inline std::vector<WCHAR> Wide(const std::string &s) {
    std::vector<WCHAR> w(s.begin(), s.end());
    w.push_back(0);
    return w;
}

#endif
