// Open Profile (109): which of the five profiles an opened profile file goes into.
#pragma once

#define IDD_OPEN_PROFILE 109
#define IDC_OPEN_PROFILE_QUESTION 901
#define IDC_OPEN_PROFILE_LABEL 902
#define IDC_OPEN_PROFILE_SLOT 903
#define IDC_OPEN_PROFILE_NAME 904
