// Seeds the users, groups and account rules for the account, LSA and token
// conformance tests: on Windows the test machine's own are used (the test
// account must be an administrator); on the simulated machine these set
// them. Each returns null when it seeded the machine, otherwise the reason
// it cannot (the test skips with it: SEEDED_OR_SKIP).
#ifndef TESTS_WINSIM_SUPPORT_ACCOUNTS_H
#define TESTS_WINSIM_SUPPORT_ACCOUNTS_H

#include <string>

// The user running the tests becomes a plain user (a member of Users only).
const char *RunAsPlainUser(const std::string &name);
// Passwords shorter than minLength are refused; with history, a new
// password may not repeat the present one.
const char *SetPasswordRules(unsigned minLength, unsigned history);
// The built-in domain and its Administrators and Backup Operators aliases
// named as on a system in another language.
const char *TranslateBuiltinNames(const std::string &domain, const std::string &administrators,
                                  const std::string &backupOperators);
// A controller of `domain` that holds the domain's accounts, with the local
// machine a member of the domain; its NetBIOS name in `controller`.
const char *DomainControllerOf(const std::string &domain, std::string &controller);

#endif
