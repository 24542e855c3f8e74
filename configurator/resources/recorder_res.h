// Ids of the recorder (recorder.rc). The language-file key of a control is its id in decimal.
#pragma once

#include "pictures_res.h"
#include "shared_controls_res.h"

#define IDD_RECORDER 102

#define IDC_START 301
#define IDC_STOP 302
#define IDC_RECORDING 304
#define IDC_CANCEL 305
#define IDC_STRING 310
#define IDC_EVENTS 311
