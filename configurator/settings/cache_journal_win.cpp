#include "cache_journal.h"

#include "handle_owners_win.h"
#include "profile_cache.h"

#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kAreasValue[] = L"Areas";
constexpr wchar_t kSequenceValue[] = L"Sequence";
constexpr wchar_t kCompleteValue[] = L"Complete";

std::wstring AreaValueName(int area) {
    return L"Area" + std::to_wstring(area);
}

int CacheNumberOfArea(int area) {
    return area == kHeaderAreaNumber ? kHeaderCacheNumber : area - 1;
}

bool SetBinary(HKEY key, const wchar_t* name, const void* data, DWORD size) {
    return RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

std::optional<DWORD> GetDword(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

void DeleteRecord() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kPendingWriteKeyPath);
    RegDeleteKeyW(HKEY_CURRENT_USER, kPendingWriteKeyPath);
}

} // namespace

bool CacheJournal::Record(const PendingWrite& write) {
    DeleteRecord();
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kPendingWriteKeyPath, 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.Put(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::basic_string<uint8_t> areas;
    for (const auto& [area, block] : write.areas) {
        areas.push_back(static_cast<uint8_t>(area));
    }
    // The areas first: a record cut off after them still says what is to be put right.
    bool kept = SetBinary(key.Get(), kAreasValue, areas.data(), static_cast<DWORD>(areas.size()));
    for (const auto& [area, block] : write.areas) {
        kept = kept && SetBinary(key.Get(), AreaValueName(area).c_str(), block.data(),
                                 static_cast<DWORD>(block.size()));
    }
    kept = kept && SetDword(key.Get(), kSequenceValue, write.sequence);
    kept = kept && SetDword(key.Get(), kCompleteValue, 1);
    kept = kept && RegFlushKey(key.Get()) == ERROR_SUCCESS;
    if (!kept) {
        key.Reset();
        DeleteRecord();
    }
    return kept;
}

std::optional<PendingWrite> CacheJournal::Pending() {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPendingWriteKeyPath, 0, KEY_QUERY_VALUE, key.Put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    PendingWrite write;
    write.sequence = GetDword(key.Get(), kSequenceValue).value_or(0);
    write.complete = GetDword(key.Get(), kCompleteValue) == DWORD{1};
    uint8_t areas[kImageBlockCount] = {};
    DWORD type = 0;
    DWORD size = sizeof areas;
    if (RegQueryValueExW(key.Get(), kAreasValue, nullptr, &type, areas, &size) != ERROR_SUCCESS ||
        type != REG_BINARY) {
        size = 0; // nothing says which areas: there is nothing to put right but the page
    }
    bool seen[kImageBlockCount] = {};
    for (DWORD i = 0; i < size; ++i) {
        const int area = areas[i];
        if (area >= kImageBlockCount || seen[area]) {
            write.complete = false; // a damaged record is not trusted for its content
            continue;
        }
        seen[area] = true;
        MemoryBlock block{};
        DWORD blockType = 0;
        DWORD blockSize = static_cast<DWORD>(block.size());
        if (RegQueryValueExW(key.Get(), AreaValueName(area).c_str(), nullptr, &blockType,
                             block.data(), &blockSize) != ERROR_SUCCESS ||
            blockType != REG_BINARY || blockSize != block.size()) {
            write.complete = false;
        }
        write.areas.push_back({area, block});
    }
    return write;
}

void CacheJournal::Clear() {
    DeleteRecord();
}

std::optional<MemoryBlock> CacheJournal::LastVerified(int area) {
    return LoadWholeCachedBlock(CacheNumberOfArea(area));
}

void CacheJournal::Verified(int area, const MemoryBlock& block) {
    StoreCachedBlock(CacheNumberOfArea(area), block.data());
}

void CacheJournal::Written() {
    CountMemoryChange();
}

uint32_t MemoryChanges() {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_QUERY_VALUE, key.Put()) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return GetDword(key.Get(), kMemoryChangesValueName).value_or(0);
}

uint32_t LastMemoryChanger() {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_QUERY_VALUE, key.Put()) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return GetDword(key.Get(), kMemoryChangedByValueName).value_or(0);
}

uint32_t CountMemoryChange() {
    const uint32_t next = MemoryChanges() + 1;
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) == ERROR_SUCCESS) {
        SetDword(key.Get(), kMemoryChangesValueName, next);
        SetDword(key.Get(), kMemoryChangedByValueName, GetCurrentProcessId());
    }
    // Every top-level window hears it; a running tray of this user reads the cache anew.
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(kMemoryChangedMessageName),
                 GetCurrentProcessId(), next);
    return next;
}
