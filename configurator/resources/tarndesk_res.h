// TarnDesk's program-wide resource ids (tarndesk.rc): icons and the tray menu. Each dialog
// has its own .rc and _res.h. The language-file key of a menu command is its id in decimal.
#pragma once

#define IDM_TRAY 106
#define IDI_PROGRAM 110
#define IDI_TRAY 112
// The documents a profile file and a backup of the whole memory are shown with; the
// installer's file association names them by these ids.
#define IDI_PROFILE_FILE 113
#define IDI_PROFILES_FILE 114

#define IDM_CLOSE 32771
#define IDM_RESET_TO_DEFAULT 32772
#define IDM_SETTING 32773
#define IDM_BACKUP_PROFILES 32774
#define IDM_RESTORE_PROFILES 32775
#define IDM_PROGRAM_PROFILES 32776
#define IDM_COPY_DIAGNOSTICS 32777
#define IDM_HISTORY 32790
#define IDM_PROFILE_LIBRARY 32791
