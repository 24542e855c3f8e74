// Resource ids of TarnDesk, shared by the .rc files and the code. The language-file key of a
// control or menu command is its id in decimal.
#pragma once

#define IDD_SETTINGS 101
#define IDM_TRAY 106
#define IDI_PROGRAM 110
#define IDI_TRAY 112

#define IDM_CLOSE 32771
#define IDM_RESET_TO_DEFAULT 32772
#define IDM_SETTING 32773
#define IDM_BACKUP_PROFILES 32774
#define IDM_RESTORE_PROFILES 32775
