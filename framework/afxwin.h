// The application framework in one include: Win32 declarations, CString,
// the collections and the exception classes.
#ifndef QL_AFXWIN_H
#define QL_AFXWIN_H

#include "afxver.h"  // windows.h
#include "afxexcept.h"
#include "afxstr.h"
#include "afxcoll.h"
#include "afxdlg.h"
#include "afxcombo.h"

#endif
