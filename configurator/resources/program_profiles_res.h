// Ids of Program profiles (program_profiles.rc). The language-file key of a control is its id
// in decimal.
#pragma once

#define IDD_PROGRAM_PROFILES 104

#define IDC_SWITCHING_ON 701
#define IDC_RULE_LIST 702
#define IDC_ADD_PROGRAM 703
#define IDC_ADD_RUNNING 704
#define IDC_REMOVE_RULE 705
#define IDC_RULE_PROFILE_LABEL 706
#define IDC_RULE_PROFILE 707
#define IDC_DESKTOP_LABEL 708
#define IDC_DESKTOP_PROFILE 709
#define IDC_RULES_STATUS 710
