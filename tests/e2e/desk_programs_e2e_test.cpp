// Program profiles, end to end: TarnDesk, unmodified, with rules in the registry, switches the
// virtual mouse's profile as test programs of known paths come to the front.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e_harness_win.h"
#include "e2e_mouse.h"

namespace tarn::e2e {
namespace {

constexpr UINT kCommandClose = 32771;
constexpr wchar_t kSettingsKey[] = L"Software\\Orvane\\Gaming\\Settings";
constexpr wchar_t kRulesKey[] = L"Software\\Orvane\\Gaming\\Settings\\Programs";
constexpr DWORD kSwitchWaitMs = 3000;
// Longer than the settle time and a query and select, with room for a slow machine.
constexpr DWORD kQuietMs = 800;

std::wstring FrontDir() {
    return TestsDir() + L"front\\";
}

void RemoveRules() {
    RegDeleteKeyW(HKEY_CURRENT_USER, kRulesKey);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"ProgramProfiles");
        RegDeleteValueW(key, L"DesktopProfile");
        RegCloseKey(key);
    }
}

class ProgramProfiles : public testing::Test {
  protected:
    void SetUp() override {
        KillProcesses(L"TarnDesk.exe");
        ASSERT_TRUE(EnsurePlugged());
        mouse_.emplace();
        ASSERT_TRUE(mouse_->Open());
        ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));
        ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_SET_ACTIVE, 0, 0));
        // Three programs of known paths; alpha's rule names its path, beta's only its name.
        CreateDirectoryW(FrontDir().c_str(), nullptr);
        for (const wchar_t* name : {L"alpha.exe", L"beta.exe", L"gamma.exe"}) {
            ASSERT_TRUE(CopyFileW((TestsDir() + L"tarn_front_probe.exe").c_str(),
                                  (FrontDir() + name).c_str(), FALSE));
        }
        DeleteCache(); // the whole settings key, rules included
        SetUserDword(kRulesKey, (FrontDir() + L"alpha.exe").c_str(), 2);
        SetUserDword(kRulesKey, L"BETA.EXE", 4);
        SetUserDword(kSettingsKey, L"ProgramProfiles", 1);

        desk_.emplace(ProgramDir() + L"TarnDesk.exe", ProgramDir());
        ASSERT_TRUE(desk_->Started());
        // The watch starts right after the start-up copy of the memory.
        ASSERT_TRUE(WaitUntil([] { return ReadCachedBlock(255).has_value(); }, 30000, 20));
        PumpMessagesFor(300, 10);
        ASSERT_NE(WaitWindow(L"TarnDeskCLass", L"TarnDeskWnd", 5000), nullptr);
        alpha_ = Start(L"alpha.exe");
        beta_ = Start(L"beta.exe");
        gamma_ = Start(L"gamma.exe");
        ASSERT_TRUE(alpha_ && beta_ && gamma_);
        // Each test starts from gamma, a program without a rule, with nothing pending.
        Front(gamma_);
        PumpMessagesFor(kQuietMs, 10);
    }
    void TearDown() override {
        if (HWND window = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd"))
            PostMessageW(window, WM_COMMAND, kCommandClose, 0);
        if (desk_ && desk_->Started()) {
            EXPECT_TRUE(desk_->WaitExit(10000)) << "Close did not end TarnDesk";
        }
        KillProcesses(L"TarnDesk.exe");
        for (const wchar_t* name : {L"alpha.exe", L"beta.exe", L"gamma.exe"})
            KillProcesses(name);
        RemoveRules();
    }

    HWND Start(const wchar_t* name) {
        programs_.emplace_back(FrontDir() + name, FrontDir());
        HWND window = nullptr;
        const DWORD id = programs_.back().Id();
        WaitUntil([&] { return (window = FrontProbeWindow(id)) != nullptr; }, 10000);
        return window;
    }

    // Brings `window` to the front, as a click or Alt+Tab would.
    static void Front(HWND window) {
        SetForegroundWindow(window);
        WaitUntil([&] { return GetForegroundWindow() == window; }, 2000, 2);
    }

    uint32_t Active() const {
        const std::optional<virt::MouseStatus> status = mouse_->Status();
        return status ? status->activeProfile : 99;
    }
    // Selects reach the mouse as a lone report; every query is one report out and one in.
    int64_t Selects() const {
        const std::optional<virt::MouseStatus> status = mouse_->Status();
        return status ? int64_t{status->featureSets} - int64_t{status->featureGets} : -1;
    }
    bool WaitActive(uint32_t profile) const {
        return WaitUntil([&] { return Active() == profile; }, kSwitchWaitMs, 5);
    }

    std::optional<virt::MouseLink> mouse_;
    std::optional<Program> desk_;
    std::vector<Program> programs_;
    HWND alpha_ = nullptr;
    HWND beta_ = nullptr;
    HWND gamma_ = nullptr;
};

TEST_F(ProgramProfiles, TheProgramInFrontChoosesTheProfileUntilTheUserPicksOne) {
    Front(alpha_);
    EXPECT_TRUE(WaitActive(1)) << "alpha's rule (its full path) gives profile 2, not " << Active();
    Front(beta_);
    EXPECT_TRUE(WaitActive(3)) << "beta's rule (its name, in capitals) gives profile 4";

    // A program without a rule, and no desktop profile: the profile stays, nothing is sent.
    const int64_t before = Selects();
    Front(gamma_);
    PumpMessagesFor(kQuietMs, 10);
    EXPECT_EQ(Active(), 3u);
    EXPECT_EQ(Selects(), before);

    // The user switches on the mouse while alpha is in front; another window of alpha (a
    // second copy of the same program) keeps that choice; only another program ends it.
    Front(alpha_);
    ASSERT_TRUE(WaitActive(1));
    PumpMessagesFor(kQuietMs, 10);
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_PRESS_SWITCH, 0, 4));
    ASSERT_TRUE(WaitActive(4));
    const HWND alphaAgain = Start(L"alpha.exe");
    ASSERT_NE(alphaAgain, nullptr);
    Front(alphaAgain);
    PumpMessagesFor(kQuietMs, 10);
    EXPECT_EQ(Active(), 4u) << "the user's choice was overridden without a program change";
    Front(beta_);
    EXPECT_TRUE(WaitActive(3));
}

TEST_F(ProgramProfiles, ABurstSendsOneSelectAndASelectWaitsForAnotherTransfer) {
    Front(beta_);
    ASSERT_TRUE(WaitActive(3));
    PumpMessagesFor(kQuietMs, 10);
    const int64_t before = Selects();
    // Five changes within 200 ms, as Alt+Tab through several windows makes them.
    for (HWND window : {alpha_, beta_, alpha_, beta_, alpha_}) {
        Front(window);
        PumpMessagesFor(40, 5);
    }
    EXPECT_TRUE(WaitActive(1));
    PumpMessagesFor(kQuietMs, 10);
    EXPECT_EQ(Selects() - before, 1);

    // Another transfer holds the mouse (as a command-line import would): the select waits for
    // it, then goes through rather than being dropped.
    HANDLE transfer = CreateMutexW(nullptr, TRUE, L"Local\\TarnDeskMouseTransfer");
    ASSERT_NE(transfer, nullptr);
    Front(beta_);
    PumpMessagesFor(kQuietMs, 10);
    EXPECT_EQ(Active(), 1u) << "a select went through while the mouse was held";
    ReleaseMutex(transfer);
    CloseHandle(transfer);
    EXPECT_TRUE(WaitActive(3));
    PumpMessagesFor(kQuietMs, 10);
    EXPECT_EQ(Selects() - before, 2);
}

} // namespace
} // namespace tarn::e2e
