// Golden traces of TarnDesk: every feature report and pacing wait the simulated mouse sees,
// what the Settings dialog shows, the registry cache's bytes and the command line's output,
// for the scenarios a user walks through. The traces under data/ were recorded from the
// program; every later build must give the same, byte for byte, so a change of TarnDesk's
// inside that changes its behaviour shows here. TARN_GOLDEN_UPDATE=1 records them anew, for a
// change of behaviour that is meant (say so in the commit).
#include "golden_desk.h"

#include "desk_test_support.h"
#include "dialog_harness.h"
#include "settings/profile_file.h"
#include "resources/recorder_res.h"
#include "resources/select_profile_res.h"
#include "resources/settings_dialog_res.h"
#include "resources/tarndesk_res.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kAreas = 6;
constexpr size_t kArea = 512;

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char cell[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(cell, sizeof cell, i == 0 ? "%02X" : " %02X", unsigned{bytes[i]});
        text += cell;
    }
    return text;
}

std::string Narrow(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                            length, nullptr, nullptr);
    std::string clean;
    for (char c : out)
        if (c != '\r')
            clean += c;
    return clean;
}

uint32_t Crc32(const std::string& text) {
    uint32_t crc = ~0u;
    for (unsigned char byte : text) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The reports and waits the mouse has seen since the trace began, with the scenario's own
// steps and notes between them.
class Trace {
  public:
    Trace(SimulatedMouse& mouse, RecordingWait& wait) : mouse_(mouse) {
        start_ = mouse.transcript.size();
        wait.onWait = [this](uint32_t ms) { Mark(kWait, std::to_string(ms)); };
    }
    void Step(const std::string& label) { Mark(kStep, label); }
    void Note(const std::string& text) { Mark(kNote, text); }

    // Everything from `from` (a Size() taken earlier) to now.
    std::string Text(size_t from = 0) const {
        std::string text;
        size_t exchange = start_;
        size_t mark = 0;
        bool lineOpen = false;
        auto endLine = [&] {
            if (lineOpen)
                text += '\n';
            lineOpen = false;
        };
        const size_t end = mouse_.transcript.size();
        while (exchange < end || mark < marks_.size()) {
            const bool markFirst = mark < marks_.size() && marks_[mark].at <= exchange;
            const bool shown = (markFirst ? marks_[mark].at : exchange) >= from;
            if (markFirst) {
                const Entry& m = marks_[mark++];
                if (!shown)
                    continue;
                if (m.kind == kWait && lineOpen) {
                    text += " +" + m.text;
                    continue;
                }
                endLine();
                if (m.kind == kWait) {
                    text += "wait " + m.text; // later waits join this line
                    lineOpen = true;
                } else {
                    text += (m.kind == kStep ? "-- " : "   ") + m.text + "\n";
                }
                continue;
            }
            const Exchange& e = mouse_.transcript[exchange++];
            if (!shown)
                continue;
            endLine();
            switch (e.kind) {
            case Exchange::Open:
                text += "open " + std::to_string(e.interfaceIndex);
                break;
            case Exchange::OpenFailed:
                text += "open-refused " + std::to_string(e.interfaceIndex);
                break;
            case Exchange::Close:
                text += "close " + std::to_string(e.interfaceIndex);
                break;
            case Exchange::Set:
            case Exchange::Get:
                text += (e.kind == Exchange::Set ? "set " : "get ") + Hex(e.bytes.data(), 8) +
                        (e.ok ? "" : " FAILED");
                break;
            }
            lineOpen = true;
        }
        endLine();
        return text;
    }
    // A position in the trace, for Text(from).
    size_t Size() const { return mouse_.transcript.size(); }

  private:
    enum Kind { kWait, kStep, kNote };
    struct Entry {
        size_t at;
        Kind kind;
        std::string text;
    };
    void Mark(Kind kind, std::string text) {
        marks_.push_back({mouse_.transcript.size(), kind, std::move(text)});
    }
    SimulatedMouse& mouse_;
    size_t start_ = 0;
    std::vector<Entry> marks_;
};

class TraceDesktop final : public GoldenDesktop {
  public:
    int PointerSpeed() override { return 7; }
    void PointerSpeedSet(int speed) override {
        if (trace != nullptr)
            trace->Note("desktop pointer speed " + std::to_string(speed));
    }
    Trace* trace = nullptr;
};

// The mouse as a user's might be: every profile with a mix of functions, event lists, and
// bytes the configurator never interprets (which must travel through unchanged).
void SeedMouse(SimulatedMouse& mouse) {
    uint8_t(&memory)[kAreas][kArea] = mouse.firmware.memory;
    for (size_t i = 0; i < kArea; ++i)
        memory[0][i] = static_cast<uint8_t>(0x29 + i * 0x1F);
    for (int p = 0; p < 5; ++p) {
        uint8_t* settings = memory[0] + 64 + 8 * p;
        const uint8_t record[8] = {
            static_cast<uint8_t>(p),         0,    1,    static_cast<uint8_t>(8 + 2 * p),
            static_cast<uint8_t>(6 + 3 * p), 0xA5, 0x5A, static_cast<uint8_t>(0x10 + p)};
        std::memcpy(settings, record, 8);
        uint8_t* block = memory[p + 1];
        for (size_t i = 0; i < kArea; ++i)
            block[i] = static_cast<uint8_t>((p + 1) * 0x3B + i * 7);
        auto setRecord = [&](int n, uint8_t kind, uint8_t param, uint8_t eventBytes) {
            const uint8_t bytes[4] = {static_cast<uint8_t>((p << 5) | n), kind, param, eventBytes};
            std::memcpy(block + 4 * n, bytes, 4);
        };
        auto setEvents = [&](int n, std::vector<uint8_t> events) {
            std::memset(block + 64 + 64 * n, 0, 64);
            std::memcpy(block + 64 + 64 * n, events.data(), events.size());
        };
        setRecord(0, 1, 0, 8);
        setEvents(0, {0x4D, 0x80, 5, 0, 0x4D, 0, 5, 0});
        setRecord(1, 4, 0, 16);
        // Profile 5's macro has an event without a key in its middle.
        setEvents(1, {0x04, 0x80, 10, 0, static_cast<uint8_t>(p == 4 ? 0 : 0x04), 0, 10, 0, 0x05,
                      0x80, 10, 0, 0x05, 0, 10, 0});
        setRecord(2, 10, static_cast<uint8_t>((p + 2) % 5), 0);
        setRecord(3, 3, 0, 8);
        setEvents(3, {0x3E, 0x80, 10, 0, 0x3E, 0, 10, 0});
        setRecord(4, 5, 0, 12);
        setEvents(4, {0x04, 0, 0, 0, 0x2C, 0, 0, 0, 0x1E, 0, 0, 0});
        setRecord(5, 0x21, static_cast<uint8_t>(p == 1 ? 7 : 2), 0); // upper kind bits set
        // Profile 4 holds a kind the configurator never writes; its choice stays as it was.
        setRecord(6, p == 3 ? 7 : 0, 0, 0);
    }
    mouse.firmware.activeProfile = 0;
}

std::string CacheText() {
    std::string text = "cache:\n";
    for (int number : {0, 1, 2, 3, 4, 5, 255}) {
        DWORD type = REG_NONE;
        bool exists = false;
        const std::wstring path =
            std::wstring(L"Software\\Orvane\\Gaming\\Settings\\") + std::to_wstring(number);
        const std::vector<uint8_t> bytes =
            ReadValue(path, number == 255 ? L"pHeader" : L"pData", &type, &exists);
        text += "  " + std::to_string(number) + ": ";
        if (!exists) {
            text += KeyExists(path) ? "key, no value\n" : "none\n";
            continue;
        }
        text += "type " + std::to_string(type) + ", " + std::to_string(bytes.size()) + " bytes\n";
        for (size_t at = 0; at < bytes.size(); at += 32)
            text += "    " + Hex(bytes.data() + at, std::min<size_t>(32, bytes.size() - at)) + "\n";
    }
    return text;
}

std::string MouseText(const SimulatedMouse& mouse) {
    std::string text = "mouse: active " + std::to_string(mouse.firmware.activeProfile) + "\n";
    for (int area = 0; area < kAreas; ++area) {
        text += "  area " + std::to_string(area) + "\n";
        for (size_t at = 0; at < kArea; at += 32)
            text += "    " + Hex(mouse.firmware.memory[area] + at, 32) + "\n";
    }
    return text;
}

// What the Settings dialog shows: layout, numbers, functions, detail buttons, resolution.
std::string Shown(HWND dialog) {
    if (dialog == nullptr)
        return "no Settings dialog";
    std::string text = Visible(dialog, IDC_CAPTION1) ? "basic layout" : "profile layout";
    text += ", numbers";
    for (int i = 0; i < 5; ++i)
        text += Enabled(dialog, IDC_PROFILE_NUMBER1 + i) ? " [" + std::to_string(i + 1) + "]"
                                                         : " " + std::to_string(i + 1);
    text += ", functions";
    for (int n = 0; n < 7; ++n) {
        text += " " + std::to_string(static_cast<int>(
                          SendDlgItemMessageW(dialog, IDC_FUNCTION1 + n, CB_GETCURSEL, 0, 0)));
        if (Visible(dialog, IDC_DETAIL1 + n))
            text += "*";
        text += "'" + Narrow(ItemText(dialog, IDC_FUNCTION1 + n)) + "'";
    }
    text +=
        ", dpi " + Narrow(ItemText(dialog, IDC_DPI_X)) + "/" + Narrow(ItemText(dialog, IDC_DPI_Y));
    text +=
        ", speed " +
        std::to_string(static_cast<int>(SendDlgItemMessageW(dialog, IDC_SPEED, TBM_GETPOS, 0, 0)));
    text += Enabled(dialog, IDC_APPLY) ? ", Apply on" : ", Apply off";
    return text;
}

std::wstring GoldenPath(const std::string& name) {
    const std::string dir = TARN_GOLDEN_DIR;
    return L"Z:" + std::wstring(dir.begin(), dir.end()) + L"/" +
           std::wstring(name.begin(), name.end()) + L".trace";
}

bool ReadFileText(const std::wstring& path, std::string* text) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    text->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        text->append(buffer, got);
    return true;
}

void WriteFileText(const std::wstring& path, const std::string& text) {
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD done = 0;
    if (file)
        WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
}

void ExpectGolden(const std::string& name, const std::string& actual) {
    const char* update = std::getenv("TARN_GOLDEN_UPDATE");
    if (update != nullptr && std::string(update) == "1") {
        WriteFileText(GoldenPath(name), actual);
        return;
    }
    std::string golden;
    ASSERT_TRUE(ReadFileText(GoldenPath(name), &golden))
        << name << ": no golden trace (record it with TARN_GOLDEN_UPDATE=1)";
    if (golden == actual)
        return;
    CreateDirectoryW(BesideTests(L"golden-actual").c_str(), nullptr);
    const std::wstring written =
        BesideTests(L"golden-actual\\") + std::wstring(name.begin(), name.end()) + L".trace";
    WriteFileText(written, actual);
    std::istringstream a(golden);
    std::istringstream b(actual);
    std::string lineA;
    std::string lineB;
    for (int line = 1;; ++line) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB)
            break;
        if (!moreA || !moreB || lineA != lineB) {
            ADD_FAILURE() << name << " differs from its golden trace at line " << line
                          << ":\n  golden: " << (moreA ? lineA : "(end)")
                          << "\n  now:    " << (moreB ? lineB : "(end)")
                          << "\n(the whole trace is in golden-actual beside the tests)";
            return;
        }
    }
}

class GoldenTrace : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteSettingsTree();
        SeedMouse(mouse);
        trace = std::make_unique<Trace>(mouse, wait);
        desktop.trace = trace.get();
        desk = std::make_unique<GoldenDesk>(mouse, wait, desktop);
    }
    void TearDown() override {
        desk.reset();
        wait.onWait = nullptr;
        desktop.trace = nullptr;
        DeleteSettingsTree();
    }

    HWND Settings() const { return desk->SettingsDialog(); }
    void Show() { trace->Note(Shown(Settings())); }
    void Press(int id) { SendMessageW(Settings(), WM_COMMAND, static_cast<WPARAM>(id), 0); }
    void Choose(int button, int function) {
        HWND combo = GetDlgItem(Settings(), IDC_FUNCTION1 + button);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(function), 0);
        SendMessageW(Settings(), WM_COMMAND, MAKEWPARAM(IDC_FUNCTION1 + button, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }
    void Slide(int id, int position) {
        HWND track = GetDlgItem(Settings(), id);
        SendMessageW(track, TBM_SETPOS, TRUE, position);
        SendMessageW(Settings(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                     reinterpret_cast<LPARAM>(track));
    }
    // Lets the poll (every 500 ms) see the mouse once.
    void Poll() { PumpMessagesFor(620); }
    static void In(const wchar_t* caption, int id) {
        SendMessageW(FindDialog(caption), WM_COMMAND, static_cast<WPARAM>(id), 0);
    }

    // The steps that fill a detail dialog for `function` on `button`: a recorded key, a
    // recorded macro, a typed string or a target profile. Each recording's first key differs
    // from the last key the one before ended with, so no key is taken for a repeat.
    std::vector<ModalSteps::Step> DetailSteps(int button, int function) {
        const WORD key = static_cast<WORD>('A' + button);
        switch (function) {
        case 7:
            return {[] { In(L"Single Key", IDC_START); }, [key] { TapKey(key); }, [] {},
                    [] { In(L"Single Key", IDC_STOP); }, [] { In(L"Single Key", IDC_APPLY); }};
        case 8:
            return {[] { In(L"Macro Key", IDC_START); },
                    [] {
                        PressKey(VK_CONTROL, true);
                        TapKey('C');
                        PressKey(VK_CONTROL, false);
                        TapKey(VK_F2);
                    },
                    [] {}, [] { In(L"Macro Key", IDC_STOP); }, [] { In(L"Macro Key", IDC_APPLY); }};
        case 9:
            return {[button] {
                        const std::wstring text = L"Go " + std::to_wstring(button) + L"!";
                        SetDlgItemTextW(FindDialog(L"String Key"), IDC_STRING, text.c_str());
                    },
                    // Posted: OK asks first about the capital and the '!', which are applied.
                    [] { PostMessageW(FindDialog(L"String Key"), WM_COMMAND, IDC_APPLY, 0); },
                    [] { PostMessageW(FindDialog(L"Mouse"), WM_COMMAND, IDYES, 0); }};
        default:
            return {[button] {
                        HWND d = FindDialog(L"Select Profile");
                        SendMessageW(d, WM_COMMAND, static_cast<WPARAM>(IDC_TARGET1 + button % 5),
                                     0);
                    },
                    [] { In(L"Select Profile", IDOK); }};
        }
    }
    void ChooseWithDetail(int button, int function) {
        ModalSteps steps(DetailSteps(button, function));
        Choose(button, function);
        EXPECT_TRUE(steps.Done()) << "button " << button << " function " << function;
    }

    std::string Whole() { return trace->Text() + CacheText() + MouseText(mouse); }

    SimulatedMouse mouse;
    RecordingWait wait;
    TraceDesktop desktop;
    std::unique_ptr<Trace> trace;
    std::unique_ptr<GoldenDesk> desk;
};

TEST_F(GoldenTrace, StartUpCopyAndArrivalReread) {
    trace->Step("start-up copy");
    desk->Start();
    trace->Step("the mouse changes, then arrives");
    mouse.firmware.memory[3][40] = 0xEE;
    desk->Arrival();
    desk->Arrival(); // a burst gives one re-read
    PumpMessagesFor(400);
    ExpectGolden("startup_and_arrival", Whole());
}

TEST_F(GoldenTrace, SettingsFollowsTheMouseAndItsProfileButtons) {
    desk->Start();
    tarn_fw_set_active(&mouse.firmware, 1);
    trace->Step("Setting");
    desk->Command(IDM_SETTING);
    Show();
    trace->Step("the mouse switches to profile 4 itself");
    tarn_fw_switch_profile(&mouse.firmware, 3);
    Poll();
    Show();
    trace->Step("number 3 clicked");
    Press(IDC_PROFILE_BUTTON1 + 2);
    Show();
    Poll();
    Show();
    trace->Step("an edit, then the mouse switches to profile 1");
    Choose(1, 3);
    Show();
    tarn_fw_switch_profile(&mouse.firmware, 0);
    Poll();
    Show();
    trace->Step("Close");
    Press(IDC_CLOSE);
    Show();
    ExpectGolden("settings_follows_mouse", Whole());
}

// Every function on every button: one line each (the reports digested), so a changed record
// or a changed report sequence shows without a trace of thousands of lines.
TEST_F(GoldenTrace, EveryFunctionOnEveryButton) {
    desk->Start();
    desk->Command(IDM_SETTING);
    ASSERT_NE(Settings(), nullptr);
    std::string lines;
    for (int button = 0; button < 7; ++button) {
        for (int function = 0; function < 11; ++function) {
            const size_t from = trace->Size();
            if (function <= 6) {
                Choose(button, function);
                Press(IDC_APPLY);
            } else {
                ChooseWithDetail(button, function);
            }
            const std::string reports = trace->Text(from);
            const std::vector<uint8_t> cached =
                ReadValue(L"Software\\Orvane\\Gaming\\Settings\\0", L"pData");
            ASSERT_EQ(cached.size(), kArea);
            char digest[16];
            std::snprintf(digest, sizeof digest, "%08X", static_cast<unsigned>(Crc32(reports)));
            lines += "button " + std::to_string(button) + " function " + std::to_string(function) +
                     ": reports " + digest + ", record " + Hex(cached.data() + 4 * button, 4) +
                     ", events " + Hex(cached.data() + 64 + 64 * button, 64) + "\n    " +
                     Shown(Settings()) + "\n";
        }
    }
    ExpectGolden("every_function_every_button", lines + CacheText() + MouseText(mouse));
}

TEST_F(GoldenTrace, MacroStringAndTargetWithReopenAndCancel) {
    desk->Start();
    tarn_fw_set_active(&mouse.firmware, 1);
    desk->Command(IDM_SETTING);
    trace->Step("Macro Key on button 3, recorded");
    ChooseWithDetail(2, 8);
    Show();
    trace->Step("its detail button: the stored macro listed, then Cancel");
    std::vector<std::wstring> rows;
    {
        ModalSteps steps({[&] {
            rows = ListRows(FindDialog(L"Macro Key"), IDC_EVENTS);
            In(L"Macro Key", IDC_CANCEL);
        }});
        Press(IDC_DETAIL1 + 2);
    }
    for (const std::wstring& row : rows)
        trace->Note("row '" + Narrow(row) + "'");
    Show();
    trace->Step("Macro Key on button 2, cancelled at once");
    {
        ModalSteps steps({[] { In(L"Macro Key", IDC_CANCEL); }});
        Choose(1, 8);
    }
    Show();
    trace->Step("String Key on button 5, then reopened");
    ChooseWithDetail(4, 9);
    std::wstring text;
    {
        ModalSteps steps({[&] {
            text = ItemText(FindDialog(L"String Key"), IDC_STRING);
            In(L"String Key", IDC_CANCEL);
        }});
        Press(IDC_DETAIL1 + 4);
    }
    trace->Note("string field '" + Narrow(text) + "'");
    trace->Step("Select Profile on button 6");
    ChooseWithDetail(5, 10);
    Show();
    trace->Step("profile 5 shown: its macro listed up to the event without a key");
    Press(IDC_PROFILE_BUTTON1 + 4);
    rows.clear();
    {
        ModalSteps steps({[&] {
            rows = ListRows(FindDialog(L"Macro Key"), IDC_EVENTS);
            In(L"Macro Key", IDC_CANCEL);
        }});
        Press(IDC_DETAIL1 + 1);
    }
    for (const std::wstring& row : rows)
        trace->Note("row '" + Narrow(row) + "'");
    ExpectGolden("macro_string_target", Whole());
}

TEST_F(GoldenTrace, ResolutionSpeedApplyAndReopen) {
    desk->Start();
    tarn_fw_set_active(&mouse.firmware, 2);
    desk->Command(IDM_SETTING);
    Show();
    trace->Step("DPI X to 1600, DPI Y to 400, Apply");
    Slide(IDC_TRACK_X, 16);
    Slide(IDC_TRACK_Y, 4);
    Show();
    Press(IDC_APPLY);
    Show();
    trace->Step("DPI X to 3200 without Apply, Close discarding it, Setting again");
    Slide(IDC_TRACK_X, 32);
    for (const std::wstring& box : AnswerMessageBoxes([&] { Press(IDC_CLOSE); }, L"Mouse", IDNO))
        trace->Note("message '" + Narrow(box) + "'");
    desk->Command(IDM_SETTING);
    Show();
    trace->Step("a recorded key after a DPI move");
    Slide(IDC_TRACK_Y, 20);
    ChooseWithDetail(3, 7);
    Show();
    ExpectGolden("resolution_speed_apply", Whole());
}

TEST_F(GoldenTrace, BasicLayoutApply) {
    desk->Start();
    tarn_fw_set_active(&mouse.firmware, 1);
    desk->Command(IDM_SETTING);
    trace->Step("the mouse enters its basic state");
    tarn_fw_set_active(&mouse.firmware, 5);
    Poll();
    Show();
    trace->Step("speed to 9, Apply");
    Slide(IDC_SPEED, 9);
    Press(IDC_APPLY);
    Show();
    ExpectGolden("basic_layout_apply", Whole());
}

TEST_F(GoldenTrace, ResetToDefaultWithTheDialogOpenAndWithoutMouse) {
    desk->Start();
    desk->Command(IDM_SETTING);
    Slide(IDC_TRACK_X, 12);
    trace->Step("Reset to Default");
    desk->Command(IDM_RESET_TO_DEFAULT);
    Show();
    trace->Step("Apply in the dialog opened before");
    Press(IDC_APPLY);
    Press(IDC_CLOSE);
    trace->Step("Reset to Default without a mouse");
    mouse.unplugged = true;
    const std::vector<std::wstring> boxes =
        AnswerMessageBoxes([&] { desk->Command(IDM_RESET_TO_DEFAULT); });
    for (const std::wstring& box : boxes)
        trace->Note("message '" + Narrow(box) + "'");
    trace->Step("Setting without a mouse");
    const std::vector<std::wstring> more = AnswerMessageBoxes([&] { desk->Command(IDM_SETTING); });
    for (const std::wstring& box : more)
        trace->Note("message '" + Narrow(box) + "'");
    ExpectGolden("reset_to_default", Whole());
}

TEST_F(GoldenTrace, CommandLine) {
    const std::wstring file = BesideTests(L"golden.tarnprofiles");
    auto run = [&](std::vector<std::wstring> arguments) {
        std::string label = "TarnDesk";
        for (const std::wstring& a : arguments)
            label += " " + Narrow(a == file ? L"FILE" : a);
        trace->Step(label);
        std::wstring output;
        const int code = desk->RunCommandLine(arguments, &output);
        trace->Note("exit " + std::to_string(code));
        std::string text = Narrow(output);
        for (size_t at = text.find(Narrow(file)); at != std::string::npos;
             at = text.find(Narrow(file)))
            text.replace(at, Narrow(file).size(), "FILE");
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            trace->Note("| " + line);
    };
    run({L"/export", file});
    {
        std::string written;
        ReadFileText(file, &written);
        std::istringstream in(written);
        for (std::string line; std::getline(in, line);) {
            // The time of writing and the checksum over it change with every export.
            if (line.rfind("written ", 0) != 0 && line.rfind("checksum ", 0) != 0)
                trace->Note("file " + line);
        }
    }
    run({L"/show"});
    run({L"--select", L"3"});
    // A backup of other settings, written into the mouse and read back.
    MemoryImage image{};
    for (int area = 0; area < kAreas; ++area)
        for (size_t i = 0; i < kArea; ++i)
            image[static_cast<size_t>(area)][i] = static_cast<uint8_t>(area * 0x51 + i * 3);
    const ProfileFileInfo info{0xF1D0, 0x0084, "1.0.0", "2026-12-08T10:00:00Z"};
    const std::string content = FormatProfileFile(image, info);
    WriteFileText(file, content);
    run({L"/import", file});
    std::string damaged = content;
    damaged[damaged.find("profile3 0040") + 20] ^= 1;
    WriteFileText(file, damaged);
    run({L"/import", file});
    run({L"/show"});
    run({L"/frobnicate"});
    mouse.unplugged = true;
    run({L"/show"});
    DeleteFileW(file.c_str());
    ExpectGolden("command_line", Whole());
}

TEST_F(GoldenTrace, ProgramInFrontSelectsItsProfile) {
    WriteValue(L"Software\\Orvane\\Gaming\\Settings", L"ProgramProfiles", REG_DWORD, {1, 0, 0, 0});
    WriteValue(L"Software\\Orvane\\Gaming\\Settings\\Programs", L"tarn_front_probe.exe", REG_DWORD,
               {4, 0, 0, 0});
    desk->Start();
    trace->Step("a program with a rule comes to the front");
    const size_t before = mouse.transcript.size();
    DWORD processId = 0;
    UniqueHandle probe = RunDetached(L"\"" + BesideTests(L"tarn_front_probe.exe") + L"\" golden",
                                     nullptr, nullptr, &processId);
    ASSERT_TRUE(probe);
    const bool selected = PumpUntil(
        [&] {
            for (size_t i = before; i < mouse.transcript.size(); ++i) {
                const Exchange& e = mouse.transcript[i];
                if (e.kind == Exchange::Set && e.bytes[1] == 0x09 && e.bytes[2] == 0xFE)
                    return true;
            }
            return false;
        },
        10000);
    PumpMessagesFor(100);
    TerminateProcess(probe.Get(), 0);
    WaitForSingleObject(probe.Get(), 5000);
    EXPECT_TRUE(selected);
    ExpectGolden("program_in_front", trace->Text() + MouseText(mouse));
}

} // namespace
