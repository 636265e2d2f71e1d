// qlsetrun --dialog: shows one of the library's dialogs on the simulated
// machine as text and drives it with scripted input.
#ifndef QLSETRUN_DIALOG_H
#define QLSETRUN_DIALOG_H

#include <iosfwd>

namespace qlsetrun {

// True when the command line asks for the dialog mode.
bool WantsDialog(int argc, char **argv);
// Runs it; the exit code (0, or 2 for a bad command line, 3 for a machine
// image that cannot be used).
int RunDialog(int argc, char **argv, std::ostream &out, std::ostream &err);
void DialogUsage(std::ostream &out);

}  // namespace qlsetrun

#endif
