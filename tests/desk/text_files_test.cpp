// TarnDesk's language settings and lookups on the real registry and initialization files.
#include "settings/text_files.h"

#include "desk_test_support.h"
#include "settings/profile_cache.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace {

std::vector<uint8_t> Utf16Language(const std::wstring& code, const std::wstring& lines) {
    return Utf16File(L"[" + code + L"]\r\n" + lines);
}

void SetLanguageValue(DWORD type, const std::vector<uint8_t>& bytes) {
    WriteValue(kSettingsKeyPath, kLanguageValueName, type, bytes);
}

std::vector<uint8_t> StringValue(const std::wstring& text, bool terminate = true) {
    std::vector<uint8_t> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    if (terminate) {
        bytes.insert(bytes.end(), {0, 0});
    }
    return bytes;
}

class TextFiles : public ::testing::Test {
  protected:
    void SetUp() override { DeleteValue(kSettingsKeyPath, kLanguageValueName); }
    void TearDown() override { DeleteValue(kSettingsKeyPath, kLanguageValueName); }

    // Loads the settings with `code` named by the registry.
    void LoadWithCode(const std::wstring& code) {
        SetLanguageValue(REG_SZ, StringValue(code));
        ASSERT_TRUE(texts.Load());
        ASSERT_EQ(texts.languageCode, code);
    }

    TextSettings texts;
};

} // namespace

TEST_F(TextFiles, NoLanguageValueReads0409BesideTheProgram) {
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKeyPath);
    ASSERT_TRUE(texts.Load());
    EXPECT_EQ(texts.languageCode, L"0409");
    EXPECT_EQ(texts.languageFilePath, TestProgramDirectory() + L"Language\\0409.txt");
    EXPECT_TRUE(KeyExists(kSettingsKeyPath)); // opened for all access: created when missing
}

TEST_F(TextFiles, LanguageValuesThatAreNoCodeKeepTheDefault) {
    struct Case {
        const char* what;
        DWORD type;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"dword", REG_DWORD, {0x07, 0x04, 0, 0}},
        {"binary", REG_BINARY, StringValue(L"0407")},
        {"127 characters", REG_SZ, StringValue(std::wstring(127, L'7'))},
        {"300 bytes", REG_SZ, StringValue(std::wstring(149, L'7'))},
        {"64 KiB", REG_SZ, StringValue(std::wstring(32767, L'7'))},
    };
    for (const Case& c : cases) {
        texts.languageCode = kDeskDefaultLanguage;
        const DWORD length = static_cast<DWORD>(c.bytes.size());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, kLanguageValueName, 0, c.type, c.bytes.data(), length);
        RegCloseKey(key);
        texts.Load();
        EXPECT_EQ(texts.languageCode, L"0409") << c.what;
        EXPECT_EQ(texts.languageFilePath, TestProgramDirectory() + L"Language\\0409.txt") << c.what;
    }
    // The longest code that fits names its file.
    const std::wstring longest(126, L'7');
    LoadWithCode(longest);
    EXPECT_EQ(texts.languageFilePath, TestProgramDirectory() + L"Language\\" + longest + L".txt");
    // Stored without a terminator (followed by a non-zero character in memory, so the
    // registry adds none): the characters up to the value's length.
    const std::vector<uint8_t> open = StringValue(L"0407X", false);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, kLanguageValueName, 0, REG_SZ, open.data(), 8);
    RegCloseKey(key);
    ASSERT_TRUE(texts.Load());
    EXPECT_EQ(texts.languageCode, L"0407");
    EXPECT_EQ(texts.languageFilePath, TestProgramDirectory() + L"Language\\0407.txt");
}

TEST_F(TextFiles, LookupsInBothForms) {
    WriteLanguageFile(L"7001", Utf16Language(L"7001", L"FontSize=11\r\n"
                                                      L"Title=Maus\r\n"
                                                      L"32773=Einstellungen\r\n"
                                                      L"303=\r\n"
                                                      L"Func3=\r\n"
                                                      L"Func8=Makro\r\n"
                                                      L"Mouse=\r\n"
                                                      L"LONG=" +
                                                          std::wstring(300, L'L') + L"\r\n"));
    LoadWithCode(L"7001");
    EXPECT_EQ(texts.dialogFontSize, 11);
    // Default form: present values win, empty and absent ones give the built-in text.
    EXPECT_EQ(texts.LookupDefault(kTitleKey, kDefaultTitle), L"Maus");
    EXPECT_EQ(texts.LookupDefault(kAgentMouseKey, kAgentDefaultMouse), L"Mouse");
    EXPECT_EQ(texts.LookupDefault(L"Absent", L"built in"), L"built in");
    // Override form: empty means "keep the resource text".
    EXPECT_EQ(texts.LookupOverride(32773), L"Einstellungen");
    EXPECT_EQ(texts.LookupOverride(303), L"");
    EXPECT_EQ(texts.LookupOverride(32772), L"");
    // "Func%d": only an absent key takes the built-in name.
    EXPECT_EQ(texts.LookupFunctionName(3), L"");
    EXPECT_EQ(texts.LookupFunctionName(8), L"Makro");
    EXPECT_EQ(texts.LookupFunctionName(4), L"Button 4");
    EXPECT_EQ(texts.LookupFunctionName(10), L"Select Profile");
    EXPECT_EQ(texts.LookupFunctionName(11), L"");
    EXPECT_EQ(texts.LookupFunctionName(-1), L"");
    // At most 254 characters of a value are used.
    EXPECT_EQ(texts.Lookup(L"LONG"), std::wstring(254, L'L'));
    // Section and key names match without regard to case.
    EXPECT_EQ(texts.LookupDefault(L"title", kDefaultTitle), L"Maus");
}

TEST_F(TextFiles, OverrideReplacesACaptionOnlyWithText) {
    WriteLanguageFile(L"7002", Utf16Language(L"7002", L"101=Optionen\r\n306=\r\n"));
    LoadWithCode(L"7002");
    wchar_t text[64] = {};
    HWND window = CreateWindowExW(0, L"STATIC", L"Setting", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(texts.OverrideWindowText(window, 101));
    GetWindowTextW(window, text, 64);
    EXPECT_STREQ(text, L"Optionen");
    EXPECT_FALSE(texts.OverrideWindowText(window, 306)); // present but empty: the text stays
    EXPECT_FALSE(texts.OverrideWindowText(window, 307)); // absent
    GetWindowTextW(window, text, 64);
    EXPECT_STREQ(text, L"Optionen");
    DestroyWindow(window);
}

TEST_F(TextFiles, MissingFileGivesBuiltInTexts) {
    LoadWithCode(L"7999"); // no such file
    EXPECT_EQ(texts.dialogFontSize, 8);
    EXPECT_EQ(texts.LookupDefault(kTitleKey, kDefaultTitle), L"Mouse");
    EXPECT_EQ(texts.LookupOverride(32773), L"");
    EXPECT_EQ(texts.LookupFunctionName(0), L"Button OFF");
}

TEST_F(TextFiles, BadFilesGiveDefaultsOrCutTexts) {
    // Empty file.
    WriteLanguageFile(L"7101", {});
    LoadWithCode(L"7101");
    EXPECT_EQ(texts.dialogFontSize, 8);
    EXPECT_EQ(texts.LookupDefault(kTitleKey, kDefaultTitle), L"Mouse");

    // Binary noise, with bytes that look like brackets, equals signs and line ends.
    std::vector<uint8_t> noise(256 * 1024);
    uint32_t seed = 12345;
    for (auto& b : noise) {
        seed = seed * 1103515245 + 12345;
        b = static_cast<uint8_t>(seed >> 16);
    }
    WriteLanguageFile(L"7102", noise);
    LoadWithCode(L"7102");
    EXPECT_LE(texts.Lookup(kTitleKey).size(), 254u);
    EXPECT_EQ(texts.LookupFunctionName(5).size() <= 254u, true);

    // A huge file: the section after 4 MiB of other sections.
    std::wstring huge;
    for (int i = 0; i < 60000; ++i) {
        huge += L"[S" + std::to_wstring(i) + L"]\r\nTitle=other text of some length\r\n";
    }
    huge += L"[7103]\r\nTitle=Found\r\n";
    WriteLanguageFile(L"7103", Utf16File(huge));
    LoadWithCode(L"7103");
    EXPECT_EQ(texts.LookupDefault(kTitleKey, kDefaultTitle), L"Found");

    // UTF-8 without a byte-order mark: read in the system code page, never past the value.
    const char utf8[] = "[7104]\r\nTitle=Gr\xC3\xBC\xC3\x9F"
                        "e\r\n32773=\xE8\xA8\xAD\xE5\xAE\x9A\r\n";
    WriteLanguageFile(L"7104", std::vector<uint8_t>(utf8, utf8 + sizeof(utf8) - 1));
    LoadWithCode(L"7104");
    const std::wstring title = texts.LookupDefault(kTitleKey, kDefaultTitle);
    EXPECT_EQ(title.substr(0, 2), L"Gr");
    EXPECT_LE(title.size(), 8u);
    EXPECT_FALSE(texts.LookupOverride(32773).empty());

    // Values of 10,000 characters and absurd font sizes.
    WriteLanguageFile(
        L"7105", Utf16Language(L"7105", L"FontSize=99999\r\nTitle=" + std::wstring(10000, L'T') +
                                            L"\r\nFunc2=" + std::wstring(10000, L'F') + L"\r\n"));
    LoadWithCode(L"7105");
    EXPECT_EQ(texts.dialogFontSize, 8);
    EXPECT_EQ(texts.LookupDefault(kTitleKey, kDefaultTitle), std::wstring(254, L'T'));
    EXPECT_EQ(texts.LookupFunctionName(2), std::wstring(254, L'F'));
    WriteLanguageFile(L"7106", Utf16Language(L"7106", L"FontSize=-4\r\n"));
    LoadWithCode(L"7106");
    EXPECT_EQ(texts.dialogFontSize, 8);
    WriteLanguageFile(L"7107", Utf16Language(L"7107", L"FontSize=0\r\n"));
    LoadWithCode(L"7107");
    EXPECT_EQ(texts.dialogFontSize, 0);
}

// A program installed under a long path still finds its language file: the test program
// copies itself into a directory whose path passes 100 characters and runs this check there.
TEST(TextFilesLongPath, ChildFindsLanguageFile) {
    if (GetEnvironmentVariableW(L"TARN_DESK_LONG_PATH_CHILD", nullptr, 0) == 0) {
        GTEST_SKIP() << "runs inside LongModulePathFindsLanguageFile";
    }
    DeleteValue(kSettingsKeyPath, kLanguageValueName);
    TextSettings texts;
    ASSERT_TRUE(texts.Load());
    EXPECT_GT(texts.languageFilePath.size(), 120u);
    EXPECT_EQ(texts.languageFilePath, TestProgramDirectory() + L"Language\\0409.txt");
    EXPECT_EQ(texts.dialogFontSize, 13);
    EXPECT_EQ(texts.LookupDefault(kTitleKey, kDefaultTitle), L"Far away");
    // Tells the parent that the checks ran here (a filter that matches nothing, or a skip,
    // would also end with exit code 0).
    if (!HasFailure()) {
        WriteFileBytes(TestProgramDirectory() + L"child_checked.txt", {'o', 'k'});
    }
}

TEST(TextFilesLongPath, LongModulePathFindsLanguageFile) {
    std::wstring directory = TestProgramDirectory() + L"long";
    CreateDirectoryW(directory.c_str(), nullptr);
    directory += L"\\installed under a rather long directory name on purpose";
    CreateDirectoryW(directory.c_str(), nullptr);
    directory += L"\\and one more level";
    CreateDirectoryW(directory.c_str(), nullptr);
    directory += L"\\";
    ASSERT_GT(directory.size(), 100u);
    wchar_t self[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    const std::wstring copy = directory + L"desk_text_child.exe";
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
    CreateDirectoryW((directory + L"Language").c_str(), nullptr);
    WriteFileBytes(directory + L"Language\\0409.txt",
                   Utf16File(L"[0409]\r\nFontSize=13\r\nTitle=Far away\r\n"));

    const std::wstring checked = directory + L"child_checked.txt";
    DeleteFileW(checked.c_str());
    SetEnvironmentVariableW(L"TARN_DESK_LONG_PATH_CHILD", L"1");
    std::wstring command =
        L"\"" + copy + L"\" --gtest_filter=TextFilesLongPath.ChildFindsLanguageFile";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, directory.c_str(), &startup, &process);
    SetEnvironmentVariableW(L"TARN_DESK_LONG_PATH_CHILD", nullptr);
    ASSERT_TRUE(started);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_NE(GetFileAttributesW(checked.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the child ran no checks";
}
