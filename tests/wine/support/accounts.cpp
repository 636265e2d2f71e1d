// Windows under Wine: the prefix's own accounts are used as they are. Its
// user cannot be made a plain user, its rules and the names of its built-in
// groups cannot be changed, and it belongs to no domain, so the tests that
// need one of these skip with the reason.
#include "support/accounts.h"

const char *RunAsPlainUser(const std::string &) {
    return "Wine: the user running the tests cannot be made a plain user for one test";
}

const char *SetPasswordRules(unsigned, unsigned) {
    return "Wine: the prefix's password rules cannot be set for one test";
}

const char *TranslateBuiltinNames(const std::string &, const std::string &, const std::string &) {
    return "Wine: the built-in groups keep their English names in a prefix";
}

const char *DomainControllerOf(const std::string &, std::string &controller) {
    controller.clear();
    return "Wine: a prefix is a workgroup machine and has no domain controller holding the domain's accounts";
}
