// Resource and control ids of the configurator's dialogs, shared by the .rc files and the
// code. The language-file key of a control is its id in decimal.
#pragma once

// Dialogs
#define IDD_RECORDER 102
#define IDD_SELECT_PROFILE 103

// Pictures (the pixels are rendered by art/render_pictures.py)
#define IDB_MOUSE 121
#define IDB_KEY_PRESS 131
#define IDR_HAND_CURSOR 132
#define IDB_KEY_RELEASE 133
#define IDB_DETAIL_STRING 135
#define IDB_DETAIL_MACRO 136
#define IDB_DETAIL_PROFILE 137
#define IDB_DETAIL_SINGLE 138
#define IDB_BASIC 139
#define IDB_TRACKBAR 142
#define IDB_THUMB 143

// Settings dialog (101)
#define IDC_MOUSE_ANCHOR 120
#define IDC_LOGO_ANCHOR 151
#define IDC_BASIC_ANCHOR 152
#define IDC_MAKER_ANCHOR (-1)
#define IDC_PROFILE_LABEL 200
#define IDC_PROFILE_NUMBER1 201
#define IDC_PROFILE_BUTTON1 211
#define IDC_FUNCTION1 221
#define IDC_DETAIL1 231
#define IDC_DPI_X_LABEL 241
#define IDC_DPI_Y_LABEL 242
#define IDC_DPI_X 243
#define IDC_DPI_Y 244
#define IDC_TRACK_X 245
#define IDC_TRACK_Y 246
#define IDC_APPLY 303
#define IDC_CLOSE 306
#define IDC_REFRESH 307
#define IDC_STATUS 308
#define IDC_CAPTION1 501
#define IDC_SPEED 600
#define IDC_SLOW 601
#define IDC_FAST 602
#define IDC_ACCELERATION 603

// Recorder (102)
#define IDC_START 301
#define IDC_STOP 302
#define IDC_RECORDING 304
#define IDC_CANCEL 305
#define IDC_STRING 310
#define IDC_EVENTS 311

// Select Profile (103)
#define IDC_TARGET1 401
