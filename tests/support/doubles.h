// Puts a test double (a shared object built by the test build) onto the
// local simulated machine at a Windows path.
#ifndef QL_TEST_DOUBLES_H
#define QL_TEST_DOUBLES_H

#include <winsim/machine.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

inline void InstallDouble(const std::string &name, const std::string &windowsPath) {
    std::ifstream in(std::string(QL_DOUBLES_DIR) + "/" + name + ".so", std::ios::binary);
    if (!in) throw std::runtime_error("test double " + name + " was not built");
    std::stringstream ss;
    ss << in.rdbuf();
    winsim::LocalMachine().PutFile(windowsPath, ss.str());
}

#endif
