// The setup log and the status channel to a remote setup console.
#ifndef QL_LOG_H
#define QL_LOG_H

#include "QlApi.h"
#include "afxstr.h"

// Appends time-stamped lines to a text file; every write opens, appends and
// closes, so several processes can share one log.
//
// Both forms are named Write. A call on an object whose first variable
// argument is a char pointer, log.Write("%s", text), resolves to the
// static form (path "%s"); write such calls as CLog::Write(path, ...).
class QL_API CLog {
public:
    explicit CLog(LPCSTR lpszLogFile);
    CLog(const CLog &other);
    CLog &operator=(const CLog &other);
    ~CLog();

    // Formats at most 511 characters and appends them as literal text.
    int Write(LPCSTR lpszFormat, ...) QL_PRINTF_LIKE(2, 3);
    // Appends one line "MM/DD/YY HH:MM:SS<TAB>message<CR><LF>" to lpszLogFile.
    // Nonzero when the line was written; 0 when the file cannot be opened or
    // the write fails.
    static int Write(LPCSTR lpszLogFile, LPCSTR lpszFormat, ...) QL_PRINTF_LIKE(2, 3);

private:
    static int AppendLine(LPCSTR lpszLogFile, LPCSTR lpszMessage);
    CString m_strLogFile;
};

// Sends "NAME\stage\state[\text]\code" to the mailslot "status" of the
// console machine. No listener: 0 at once, without retrying.
class QL_API CRemoteMailslot {
public:
    explicit CRemoteMailslot(LPCSTR lpszServer);
    CRemoteMailslot(const CRemoteMailslot &other);
    CRemoteMailslot &operator=(const CRemoteMailslot &other);
    ~CRemoteMailslot();

    int SendStatus(UINT nStage, UINT nState);
    int SendStatus(UINT nStage, UINT nState, LPCSTR lpszText);
    static int SendStatus(LPCSTR lpszServer, UINT nStage, UINT nState);
    static int SendStatus(LPCSTR lpszServer, UINT nStage, UINT nState, LPCSTR lpszText);

private:
    static int Send(LPCSTR lpszServer, LPCSTR lpszMessage);
    CString m_strServer;
};

// The numeric code of the product or option whose setup runs, from the
// setup library named by "GUIDLL" in the setup information file beside the
// running program; 0 while it cannot be told (then asked again next time).
WORD GetSetupProductCode();
// Forgets the cached code (tests start each case afresh).
void ResetSetupProductCode();

#endif
