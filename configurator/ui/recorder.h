// The key and macro recorder (dialog resource 102): records presses and releases through a
// low-level keyboard hook, or takes a typed string, and stores the result as the edited
// button's record and event list in profileBlock.
#pragma once

#include "key_recording.h"

#include <cstddef>
#include <cstdint>


// Recorder state shared by the dialog and the hook procedure.
// editedButton (0..6) and editedFunction (7, 8 or 9, or 10 for Select Profile) are written
// only by BeginButtonEdit, when the recorder or the Select Profile dialog opens.
extern int32_t editedButton;
extern int32_t editedFunction;
// Events recorded since the last Start: reset by BeginRecording, counted by ExamineKeyEvent.
extern int32_t recordedCount;
extern int32_t recordLimit; // 2 or 16; set from editedFunction by ExamineKeyEvent only
// The last key event the hook examined, recorded or not; survive between recordings.
// Written by ExamineKeyEvent only.
extern uint32_t lastKeyCode;
extern uint32_t lastKeyUp;
extern int32_t recordingLabelShown; // written by RecorderDialogProc only

// The button a detail dialog edits: its dialog parameter, or 0 for one outside 0..6; the
// function is the one chosen for that button.
void BeginButtonEdit(intptr_t parameter);
// editedButton as a record index: 0 for anything outside 0..6.
int EditedButtonIndex();


// The hook's decision for one keyboard event (hookAction: the hook code is HC_ACTION).
// Returns true when the event was recorded as workEvents[recordedCount - 1].
bool ExamineKeyEvent(bool hookAction, KeyMessage message, uint32_t virtualKey, uint32_t hookFlags);

// Start of a recording: workEvents cleared, recordedCount 0.
void BeginRecording();

// Loads the edited button's record into workRecord and clears workEvents. For functions 7
// and 8 with a matching kind, copies the stored events to list into workEvents and returns
// their number: never more than the 64-byte list holds, whatever eventBytes claims, and
// stopping at the first usage 0. Returns 0 when nothing is to be listed.
int LoadStoredEvents();
// For function 9: the text of the stored string (the key names of its events), cut to
// `capacity` - 1 characters. Returns false when the record is not a string key.
bool StoredStringText(wchar_t* text, size_t capacity);

// " %s (Down)  " / " %s (Up) " for stored events; " %s (Down)" / " %s (Up)" for live ones.
void FormatEventRow(wchar_t* row, size_t capacity, const wchar_t* name, bool press, bool stored);

// Stores the recording (functions 7 and 8) as the edited button's record and events.
void StoreRecording();
// Stores at most kStringLimit characters of `text` as a string key. `keyScan` gives the
// virtual-key code of a character in its low byte (VkKeyScanW); -1 for none.
void StoreString(const wchar_t* text, int16_t (*keyScan)(wchar_t));
