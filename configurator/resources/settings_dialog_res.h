// Ids of the Settings dialog (settings_dialog.rc). The language-file key of a control is its
// id in decimal.
#pragma once

#include "pictures_res.h"
#include "shared_controls_res.h"

#define IDD_SETTINGS 101

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
#define IDC_CLOSE 306
#define IDC_REFRESH 307
#define IDC_STATUS 308
// The captions of the eleven buttons around the mouse picture.
#define IDC_CAPTION1 501
#define IDC_CAPTION2 502
#define IDC_CAPTION3 503
#define IDC_CAPTION4 504
#define IDC_CAPTION5 505
#define IDC_CAPTION6 506
#define IDC_CAPTION7 507
#define IDC_CAPTION8 508
#define IDC_CAPTION9 509
#define IDC_CAPTION10 510
#define IDC_CAPTION11 511
#define IDC_SPEED 600
#define IDC_SLOW 601
#define IDC_FAST 602
#define IDC_ACCELERATION 603
