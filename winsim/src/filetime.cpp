// File-time conversions of the simulated machine. The machines run on UTC,
// so local file time and file time agree.
#include "internal.h"

namespace {

const unsigned long long kTicksPerSecond = 10000000ULL;  // 100-nanosecond ticks
// FILETIME values at or above 0x8000000000000000 are refused by Windows.
const unsigned long long kLimit = 0x8000000000000000ULL;

unsigned long long Ticks(const FILETIME &ft) {
    return ((unsigned long long)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

}  // namespace

extern "C" BOOL WINAPI FileTimeToLocalFileTime(const FILETIME *lpFileTime, LPFILETIME lpLocalFileTime) {
    WINSIM_FAULT_RETURN("FileTimeToLocalFileTime", FALSE);
    if (!lpFileTime || !lpLocalFileTime) return winsim::Fail(FALSE, ERROR_INVALID_PARAMETER);
    *lpLocalFileTime = *lpFileTime;
    return TRUE;
}

extern "C" BOOL WINAPI FileTimeToSystemTime(const FILETIME *lpFileTime, LPSYSTEMTIME lpSystemTime) {
    WINSIM_FAULT_RETURN("FileTimeToSystemTime", FALSE);
    if (!lpFileTime || !lpSystemTime || Ticks(*lpFileTime) >= kLimit)
        return winsim::Fail(FALSE, ERROR_INVALID_PARAMETER);
    const unsigned long long ticks = Ticks(*lpFileTime);
    const unsigned long long seconds = ticks / kTicksPerSecond;
    const long long days1601 = (long long)(seconds / 86400);
    const unsigned secondOfDay = (unsigned)(seconds % 86400);
    // 1601-01-01 was a Monday; civil date from days since 1970-03-01 based eras.
    const long long z = days1601 - 134774 + 719468;  // days since 0000-03-01
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = (unsigned)(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = (long long)yoe + era * 400 + (month <= 2 ? 1 : 0);
    lpSystemTime->wYear = (WORD)year;
    lpSystemTime->wMonth = (WORD)month;
    lpSystemTime->wDay = (WORD)day;
    lpSystemTime->wDayOfWeek = (WORD)((days1601 + 1) % 7);
    lpSystemTime->wHour = (WORD)(secondOfDay / 3600);
    lpSystemTime->wMinute = (WORD)(secondOfDay / 60 % 60);
    lpSystemTime->wSecond = (WORD)(secondOfDay % 60);
    lpSystemTime->wMilliseconds = (WORD)(ticks / 10000 % 1000);
    return TRUE;
}

namespace {
bool LeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
}  // namespace

// The day of week is ignored; a date the calendar does not have (30 February)
// or a field out of range is ERROR_INVALID_PARAMETER, as on Windows.
extern "C" BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME *lpSystemTime, LPFILETIME lpFileTime) {
    WINSIM_FAULT_RETURN("SystemTimeToFileTime", FALSE);
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    uint64_t ms = 0;
    if (!lpSystemTime || !lpFileTime || !winsim::SystemTimeToMs(*lpSystemTime, ms) || lpSystemTime->wYear > 30827 ||
        lpSystemTime->wDay > kDays[lpSystemTime->wMonth - 1] + (lpSystemTime->wMonth == 2 && LeapYear(lpSystemTime->wYear)))
        return winsim::Fail(FALSE, ERROR_INVALID_PARAMETER);
    const unsigned long long ticks = ms * 10000ULL;
    lpFileTime->dwLowDateTime = (DWORD)ticks;
    lpFileTime->dwHighDateTime = (DWORD)(ticks >> 32);
    return TRUE;
}

extern "C" BOOL WINAPI LocalFileTimeToFileTime(const FILETIME *lpLocalFileTime, LPFILETIME lpFileTime) {
    WINSIM_FAULT_RETURN("LocalFileTimeToFileTime", FALSE);
    if (!lpLocalFileTime || !lpFileTime) return winsim::Fail(FALSE, ERROR_INVALID_PARAMETER);
    *lpFileTime = *lpLocalFileTime;
    return TRUE;
}
