// Ids of Select Profile (select_profile.rc). The language-file key of a control is its id in
// decimal.
#pragma once

#define IDD_SELECT_PROFILE 103

#define IDC_TARGET1 401
#define IDC_TARGET2 402
#define IDC_TARGET3 403
#define IDC_TARGET4 404
#define IDC_TARGET5 405
