// History (108): the snapshots kept before each change of the mouse.
#pragma once

#define IDD_HISTORY 108
#define IDC_HISTORY_LIST 801
#define IDC_HISTORY_RESTORE 802
#define IDC_HISTORY_EXPORT 803
#define IDC_HISTORY_CLOSE 804
