// The shipped language files, loaded the way the programs load them.
#include "settings/text_files.h"

#include "desk_test_support.h"
#include "settings/profile_cache.h"

#include <gtest/gtest.h>

namespace {

// Every key TarnDesk reads (besides "FontSize") and every key TarnAgent reads.
std::vector<std::wstring> TextKeys() {
    std::vector<std::wstring> keys = {
        L"Title", L"WriteFailed", L"32773", L"32771", L"32772", L"101",        L"200",     L"303",
        L"306",   L"307",         L"308",   L"601",   L"602",   L"603",        L"301",     L"302",
        L"304",   L"305",         L"103",   L"1",     L"Mouse", L"BatteryLow", L"OpenCPL", L"Exit"};
    for (int id = 501; id <= 511; ++id) {
        keys.push_back(std::to_wstring(id));
    }
    for (int id = 401; id <= 405; ++id) {
        keys.push_back(std::to_wstring(id));
    }
    for (int n = 0; n < 11; ++n) {
        keys.push_back(L"Func" + std::to_wstring(n));
    }
    for (const wchar_t* key : {L"32774",
                               L"32775",
                               L"ProfileFiles",
                               L"BackupDone",
                               L"BackupFailed",
                               L"RestoreAsk",
                               L"RestoreDone",
                               L"RestoreFailed",
                               L"32776",
                               L"104",
                               L"701",
                               L"703",
                               L"704",
                               L"705",
                               L"706",
                               L"708",
                               L"2",
                               L"ProgramColumn",
                               L"ProgramFiles",
                               L"KeepProfile",
                               L"RulesSkipped",
                               L"RulesFull",
                               L"32777",
                               L"DiagnosticsCopied",
                               L"CrashDumpSaved"}) {
        keys.push_back(key);
    }
    return keys;
}

bool KeyPresent(const TextSettings& texts, const std::wstring& key) {
    // The lookups cannot tell an empty value from a missing key; a sentinel default can.
    wchar_t text[kTextBufferCount] = {};
    GetPrivateProfileStringW(texts.languageCode.c_str(), key.c_str(), L"\x01missing", text,
                             static_cast<DWORD>(kTextBufferCount), texts.languageFilePath.c_str());
    return std::wstring(text) != L"\x01missing";
}

} // namespace

TEST(LanguageFiles, EveryShippedFileHoldsEveryKey) {
    const std::wstring shipped = TestProgramDirectory() + L"..\\bin\\Language\\";
    const auto codes = LanguageCodesIn(shipped);
    ASSERT_GE(codes.size(), 12u);
    CreateDirectoryW((TestProgramDirectory() + L"Language").c_str(), nullptr);
    for (const std::wstring& code : codes) {
        SCOPED_TRACE(std::string(code.begin(), code.end()));
        // Beside the program, named by the registry, as installed.
        ASSERT_TRUE(CopyFileW((shipped + code + L".txt").c_str(),
                              (TestProgramDirectory() + L"Language\\" + code + L".txt").c_str(),
                              FALSE));
        WriteValue(kSettingsKeyPath, kLanguageValueName, REG_SZ,
                   std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(code.c_str()),
                                        reinterpret_cast<const uint8_t*>(code.c_str()) +
                                            (code.size() + 1) * sizeof(wchar_t)));
        TextSettings texts;
        ASSERT_TRUE(texts.Load());
        ASSERT_EQ(texts.languageCode, code);
        EXPECT_GE(texts.dialogFontSize, 6);
        EXPECT_LE(texts.dialogFontSize, 12);
        for (const std::wstring& key : TextKeys()) {
            EXPECT_TRUE(KeyPresent(texts, key)) << std::string(key.begin(), key.end());
            if (key != L"308") { // the status line starts empty in every language
                EXPECT_FALSE(texts.Lookup(key.c_str()).empty())
                    << std::string(key.begin(), key.end());
            }
        }
        for (int n = 0; n < 11; ++n) {
            EXPECT_FALSE(texts.LookupFunctionName(n).empty());
        }
        // The agent's exit item takes the application name exactly once.
        const std::wstring item = FormatExitItem(texts.Lookup(L"Exit"), L"\x263A");
        EXPECT_EQ(item.find(L'%'), std::wstring::npos);
        EXPECT_NE(item.find(L'\x263A'), std::wstring::npos);
    }
    DeleteValue(kSettingsKeyPath, kLanguageValueName);
}

TEST(LanguageFiles, NonLatinTextsSurviveTheRoundTrip) {
    const std::wstring shipped = TestProgramDirectory() + L"..\\bin\\Language\\";
    struct Expect {
        const wchar_t* code;
        const wchar_t* key;
        const wchar_t* text;
    } expects[] = {
        {L"0409", L"32772", L"Reset to Default"},
        {L"0407", L"32771",
         L"Schlie\x00DF"
         L"en"},
        {L"040C", L"32773", L"Param\x00E8tres"},
        {L"0411", L"Title", L"\x30DE\x30A6\x30B9"},
        {L"0804", L"1", L"\x786E\x5B9A"},
        {L"0404", L"1", L"\x78BA\x5B9A"},
        {L"0412", L"305", L"\xCDE8\xC18C"},
        {L"0419", L"306", L"&\x0417\x0430\x043A\x0440\x044B\x0442\x044C"},
        {L"0415", L"307", L"Od\x015Bwie\x017C"},
        {L"0C0A", L"32773", L"Configuraci\x00F3n"},
    };
    for (const Expect& e : expects) {
        TextSettings texts;
        texts.languageCode = e.code;
        texts.languageFilePath = shipped + e.code + L".txt";
        EXPECT_EQ(texts.Lookup(e.key), e.text);
    }
}
