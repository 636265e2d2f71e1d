// The registry conversion library "KEYCONV.DLL": a library of the product
// family that copies a registry tree from one key to another. Loaded by
// plain name at upgrade, looked up by name and released after use.
#ifndef QL_KEYCONV_H
#define QL_KEYCONV_H

#include <windows.h>

#define KEYCONV_LIBRARY_NAME "KEYCONV.DLL"
#define KEYCONV_COPY_REG_SUB_TREE "KeyconvCopyRegSubTree"

// Copies the tree at lpszSource (sub-keys and values) to lpszTarget, both
// relative to hHive; a nonzero bMove removes the source tree once copied.
// Nonzero on success.
typedef int(WINAPI *PFN_KEYCONV_COPY_REG_SUB_TREE)(HKEY hHive, LPCSTR lpszSource, LPCSTR lpszTarget, int bMove);

#endif
