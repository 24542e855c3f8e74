// Control ids that more than one dialog uses; the language file's key "303" translates the
// Apply button of the Settings dialog and of the recorder alike.
#pragma once

#define IDC_APPLY 303
