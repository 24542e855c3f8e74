// Ids of TarnDesk's pictures and cursor (pictures.rc), drawn by the dialogs.
#pragma once

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
