/* Network management status codes (NERR_*), beside the Win32 error codes. */
#ifndef WINSIM_LMERR_H
#define WINSIM_LMERR_H

#define NERR_Success 0
#define NERR_BASE 2100
#define NERR_UnknownDevDir (NERR_BASE + 16)
#define NERR_DuplicateShare (NERR_BASE + 18)
#define NERR_BufTooSmall (NERR_BASE + 23)
#define NERR_GroupNotFound (NERR_BASE + 120)
#define NERR_UserNotFound (NERR_BASE + 121)
#define NERR_UserExists (NERR_BASE + 124)
#define NERR_PasswordTooShort (NERR_BASE + 145)
#define NERR_NetNameNotFound (NERR_BASE + 210)
#define NERR_InvalidComputer (NERR_BASE + 251)
#define NERR_DCNotFound (NERR_BASE + 353)
#define MAX_NERR (NERR_BASE + 899)

#endif
