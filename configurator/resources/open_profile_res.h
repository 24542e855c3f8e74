// Open Profile (109): which of the five profiles an opened profile file goes into.
#pragma once

#define IDD_OPEN_PROFILE 109
#define IDC_OPEN_PROFILE_QUESTION 921
#define IDC_OPEN_PROFILE_LABEL 922
#define IDC_OPEN_PROFILE_SLOT 923
#define IDC_OPEN_PROFILE_NAME 924
