// The Settings dialog (resource 101): the profile selector, the seven button functions, the
// X and Y resolution of the shown profile and, in the basic layout, the pointer speed. One
// object per open dialog, attached to its window.
#pragma once

#include "model/button_assignment.h"
#include "desk_services.h"
#include "handle_owners_win.h"

#include <windows.h>

#include <cstdint>
#include <string>

inline constexpr UINT_PTR kPollTimerId = 1;
inline constexpr UINT kPollPeriodMs = 500;

// Language keys and built-in texts of the dialog's own messages.
inline constexpr wchar_t kWritingKey[] = L"WritingMouse";
inline constexpr wchar_t kDefaultWriting[] = L"Writing into the mouse...";
inline constexpr wchar_t kApplyBeforeLeavingKey[] = L"ApplyBeforeLeaving";
inline constexpr wchar_t kDefaultApplyBeforeLeaving[] =
    L"Apply the changes to profile %s before leaving it? No discards them.";
inline constexpr wchar_t kApplyBeforeClosingKey[] = L"ApplyBeforeClosing";
inline constexpr wchar_t kDefaultApplyBeforeClosing[] =
    L"Apply the changes before closing? No discards them.";

// What the dialog shows and edits. A new dialog starts from what the last one left, as the
// buttons keep their function when a record of an unknown kind is shown.
struct SettingsDialogState {
    // The profile shown and edited: 0..4, or 5 while the mouse reports its basic state.
    int32_t currentProfile = 0;
    // The profile the poll saw last.
    int32_t lastSeenProfile = 0;
    // The shown profile's block, edited until Apply or a detail dialog writes it.
    ProfileBlock profileBlock;
    // The function each button's list shows.
    int32_t buttonChoices[kButtonCount] = {};
    // X and Y resolution steps last shown or moved (4..32), the speed position (0..10).
    int32_t xStep = 0;
    int32_t yStep = 0;
    int32_t speedPosition = 0;
};

class SettingsDialog;

// Who opened the dialog: told when it ends, so it never refers to a closed dialog.
class SettingsDialogHost {
  public:
    virtual ~SettingsDialogHost() = default;
    virtual void SettingsDialogClosed(const SettingsDialogState& last) = 0;
};

class SettingsDialog {
  public:
    // Creates dialog 101 modeless, with no owner; null when it could not be made.
    static SettingsDialog* Create(const DeskServices& desk, SettingsDialogHost& host,
                                  const SettingsDialogState& start);
    // The dialog object of a dialog window (null for any other window).
    static SettingsDialog* Of(HWND dialog);

    HWND Window() const { return window_; }
    const SettingsDialogState& State() const { return state_; }
    // True while the dialog shows a change that Apply will write; Apply is enabled then only.
    bool Pending() const;
    // The header block the dialog shows: the program's, with the resolutions moved since.
    const HeaderBlock& ShownHeader() const { return pendingHeader_; }

    // Re-queries the active profile and reloads every control from the cache and the header;
    // changes not applied are dropped.
    void Refresh();
    // Sets both resolution trackbars and fields from ProfileSettings of currentProfile.
    void ShowProfileResolution();
    // The program's header block was read anew from the mouse (it was `before`): shown, unless
    // a resolution was moved here and waits for Apply.
    void HeaderReplaced(const HeaderBlock& before);
    // Shows, hides, enables and disables the controls of the profile or the basic layout.
    void SetLayout(bool basic);
    // Reloads the system cursors when the hand replaces the arrow. The hover watch's timer dies
    // with its control, so whatever ends the dialog (closing, destroying, log-off) or the
    // program calls this; otherwise every window on the desktop would keep the hand.
    void RestoreSystemCursors();
    // True while the hand replaces the system arrow: from a WM_SETCURSOR over a click area until
    // the system cursors are reloaded.
    bool HandCursorShown() const { return handCursorShown_; }

    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    SettingsDialog(HWND dialog, const DeskServices& desk, SettingsDialogHost& host,
                   const SettingsDialogState& start);

    void OnInitDialog();
    void OnProfileButton(int id);
    void OnFunctionChosen(int id);
    void RunDetailDialog(int button);
    bool WriteShown(bool withHeader);
    // Apply; true when every block reached the mouse.
    bool OnApply();
    void OnClose();
    // Asks whether to apply, discard or stay when a pending change is left; true to go on.
    bool SettleBeforeLeaving();
    // What the mouse holds now matches what is shown: nothing is pending.
    void MarkApplied();
    // Shows what the mouse holds again instead of the pending change.
    void Discard();
    void ShowPending();
    void OnTrackbar(WPARAM wParam, LPARAM lParam);
    void OnSetCursor(HWND over);
    void OnDestroy();
    void Poll();
    void QueryProfile();
    void ShowButtonFunctions();
    void ShowActiveNumber();
    void DecodeButtonFunctions();
    void ReloadCursors();
    void Show(int id, bool shown);
    void Enable(int id, bool enabled);
    void ShowAndEnable(int first, int last, bool on);

    HWND window_;
    const DeskServices& desk_;
    SettingsDialogHost& host_;
    SettingsDialogState state_;
    UniqueFont numberFont_;
    UniqueIcon dialogIcon_;
    HWND trackX_ = nullptr;
    HWND trackY_ = nullptr;
    HWND trackSpeed_ = nullptr;
    // True while the recorder or Select Profile runs its modal loop inside ours: the poll then
    // waits, so a switch on the mouse cannot move currentProfile and the block under the edit.
    bool detailDialogOpen_ = false;
    // The window went while a detail dialog ran; the detail dialog's caller frees the object.
    bool freeWhenDetailEnds_ = false;
    bool handCursorShown_ = false;
    // The pending change is made of what differs from these, the state last written or read,
    // and of a write that did not reach the mouse.
    HeaderBlock pendingHeader_;
    ProfileBlock appliedProfile_;
    int32_t appliedChoices_[kButtonCount] = {};
    int32_t appliedSpeed_ = 0;
    bool writeFailed_ = false;
    // The choice a button had before a function with a detail dialog was picked: a cancelled
    // detail dialog shows it again.
    int32_t choiceBeforeDetail_ = -1;
    // The status line's own text, shown again after a transfer.
    std::wstring statusText_;

    friend INT_PTR CALLBACK SettingsDialogProc(HWND, UINT, WPARAM, LPARAM);
};
