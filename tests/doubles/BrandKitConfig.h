// Where the branding library doubles take their answers from, and where they
// leave what they were given: values under one key of the local machine.
// Shared by the doubles and the tests that seed them.
#ifndef QL_TEST_BRANDKIT_CONFIG_H
#define QL_TEST_BRANDKIT_CONFIG_H

// HKEY_LOCAL_MACHINE key of the doubles' answers.
#define BRANDKIT_DOUBLE_KEY "HKLM\\SOFTWARE\\QLTest\\BrandKit"

// REG_SZ answers of the four root getters. A missing value gives the
// double's own brand (BRANDKIT_DOUBLE_DEFAULT_*). Two texts act instead:
//   "<fail>"    the function writes nothing and returns 0;
//   "<garbage>" it fills the whole buffer (all nSize bytes, no NUL) with '#'
//               and returns 0.
// Any other text (even empty) is written, cut to nSize - 1 bytes, result 1.
#define BRANDKIT_VALUE_BRAND_NAME "BrandName"
#define BRANDKIT_VALUE_REG_ROOT "RegRoot"
#define BRANDKIT_VALUE_REG_BASE "RegBase"
#define BRANDKIT_VALUE_PRODUCTS "Products"
#define BRANDKIT_FAIL "<fail>"
#define BRANDKIT_GARBAGE "<garbage>"

#define BRANDKIT_DOUBLE_DEFAULT_BRAND_NAME "SOFTWARE\\Testmark"
#define BRANDKIT_DOUBLE_DEFAULT_REG_ROOT "SOFTWARE\\Testmark\\QuillbakIT"
#define BRANDKIT_DOUBLE_DEFAULT_REG_BASE "SOFTWARE\\Testmark\\QuillbakIT\\Base"
#define BRANDKIT_DOUBLE_DEFAULT_PRODUCTS "SOFTWARE\\Testmark\\QuillbakIT\\Products"

// The kept account (REG_SZ). BktGetUserAccountA answers from them; without
// "AccountName" it fails with the last error "AccountError" (REG_DWORD,
// default ERROR_NONE_MAPPED). BktSetUserAccountA writes all four (the server
// it was given into "AccountServer").
#define BRANDKIT_VALUE_ACCOUNT_SERVER "AccountServer"
#define BRANDKIT_VALUE_ACCOUNT_DOMAIN "AccountDomain"
#define BRANDKIT_VALUE_ACCOUNT_NAME "AccountName"
#define BRANDKIT_VALUE_ACCOUNT_PASSWORD "AccountPassword"
#define BRANDKIT_VALUE_ACCOUNT_ERROR "AccountError"
// Server name BktGetUserAccountA was last given (REG_SZ).
#define BRANDKIT_VALUE_GET_SERVER "LastGetServer"
// REG_DWORD: what BktSetUserAccountA returns instead of 1. With 0 it stores
// nothing and fails with "AccountError" (default ERROR_ACCESS_DENIED).
#define BRANDKIT_VALUE_SET_RESULT "SetAccountResult"

// REG_DWORD: what IsWindowsVersionOKA returns (default 1). It keeps its three
// arguments in "VersionArg1" to "VersionArg3" (REG_DWORD).
#define BRANDKIT_VALUE_VERSION_OK "WindowsVersionOK"
#define BRANDKIT_VALUE_VERSION_ARG1 "VersionArg1"
#define BRANDKIT_VALUE_VERSION_ARG2 "VersionArg2"
#define BRANDKIT_VALUE_VERSION_ARG3 "VersionArg3"

#endif
