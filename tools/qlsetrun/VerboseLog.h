// The run written as a Windows Installer verbose log (msiexec /l*v), so that
// it can be read next to a log of the real package line by line.
#ifndef QLSETRUN_VERBOSELOG_H
#define QLSETRUN_VERBOSELOG_H

#include "Run.h"

#include <map>
#include <string>

namespace qlsetrun {

// Without `propertyDumps` each property dump is one line that counts them.
std::string VerboseLog(const Run &run, bool propertyDumps = true);

// A property's value as the logs and the report show it: "**********" for
// the service account's password and the properties the package names in
// MsiHiddenProperties.
std::string ShownValue(const std::string &name, const std::string &value,
                       const std::map<std::string, std::string> &props);

// Clock helpers of the log's time stamps.
std::string ClockOfDay(uint64_t ms);      // "13:05:09" (hour not padded, as the installer writes it)
std::string ClockStamp(uint64_t ms);      // "13:05:09:250"

}  // namespace qlsetrun

#endif
