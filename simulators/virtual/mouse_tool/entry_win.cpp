// tarnmouse: plugs, unplugs and handles the virtual mouse for tests and the demo.
//   tarnmouse plug | unplug | present
//   tarnmouse load FILE | dump FILE          the header and five profiles, 3072 bytes
//   tarnmouse switch N                       the mouse's own profile button (0..4)
//   tarnmouse set-active N                   0..5, 5 the basic state
//   tarnmouse answer N                       the query's answer (-1: the active profile)
//   tarnmouse reject AREA MASK               refuse page commands (AREA 0..5 or "all")
//   tarnmouse cut N                          after N more reports 5 every one fails, as when
//                                            the host dies mid-transfer (-1: no cut)
//   tarnmouse clear | status
//   tarnmouse roundtrip N                    median feature-report round trip, microseconds
// Exit code 0 on success, 1 on failure (with a message on stderr), 2 on a usage error.
#include <windows.h>

extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device_install_win.h"
#include "vmouse_client_win.h"

namespace {

using namespace tarn::virt;

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(*text < 128 ? *text : '?');
    return out;
}

int Fail(const std::wstring& message) {
    fwprintf(stderr, L"tarnmouse: %ls\n", message.c_str());
    return 1;
}

bool ReadFileBytes(const std::wstring& path, std::vector<uint8_t>* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes->assign(kMemoryLength + 1, 0); // one more than an image, to notice longer files
    DWORD got = 0;
    BOOL ok = ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr);
    CloseHandle(file);
    bytes->resize(got);
    return ok != FALSE;
}

bool WriteFileBytes(const std::wstring& path, const uint8_t* data, size_t length) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD wrote = 0;
    BOOL ok = WriteFile(file, data, static_cast<DWORD>(length), &wrote, nullptr);
    CloseHandle(file);
    return ok && wrote == length;
}

int Plug() {
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::wstring error;
    if (!PlugVirtualMouse(ToolDirectory(), &error))
        return Fail(error);
    QueryPerformanceCounter(&end);
    wprintf(L"plugged %ls in %.1f ms\n", FindHidInterface(TARN_VMOUSE_PATH_PATTERN).c_str(),
            static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                static_cast<double>(frequency.QuadPart));
    return 0;
}

int Unplug() {
    std::wstring error;
    if (!UnplugVirtualMouse(&error))
        return Fail(error);
    wprintf(L"unplugged\n");
    return 0;
}

int Load(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, &bytes))
        return Fail(L"cannot read " + path);
    std::optional<MemoryImage> image = ImageFromBytes(bytes);
    if (!image)
        return Fail(path + L" is not a 3072-byte memory image");
    MouseLink mouse;
    if (!mouse.Open())
        return StoredImage(&*image, true) ? 0 : Fail(L"cannot store the memory");
    return mouse.Load(*image) ? 0 : Fail(L"the mouse refused a page");
}

int Dump(const std::wstring& path) {
    MemoryImage image{};
    MouseLink mouse;
    if (!mouse.Open()) {
        if (!StoredImage(&image, false))
            return Fail(L"cannot read the stored memory");
    } else {
        std::optional<MemoryImage> dumped = mouse.Dump();
        if (!dumped)
            return Fail(L"the mouse did not dump its memory");
        image = *dumped;
    }
    return WriteFileBytes(path, image.data(), image.size()) ? 0 : Fail(L"cannot write " + path);
}

int Command(uint8_t command, uint8_t area, int32_t argument) {
    MouseLink mouse;
    if (!mouse.Open())
        return Fail(L"the mouse is not plugged in");
    return mouse.Set(MakeControl(command, area, 0, argument))
               ? 0
               : Fail(L"the mouse refused the command");
}

int Status() {
    MouseLink mouse;
    if (!mouse.Open())
        return Fail(L"the mouse is not plugged in");
    ControlReport reply;
    if (!mouse.Set(MakeControl(TARN_VMOUSE_STATUS)) || !mouse.Get(&reply))
        return Fail(L"no status");
    std::optional<MouseStatus> status = ParseStatus(reply);
    if (!status)
        return Fail(L"malformed status");
    wprintf(
        L"active %u pagesRead %u pagesWritten %u rejected %u sets %u gets %u persistFailures %u "
        L"cut %d\n",
        status->activeProfile, status->pagesRead, status->pagesWritten, status->rejectedReports,
        status->featureSets, status->featureGets, status->persistFailures, status->cutRemaining);
    return 0;
}

// One round trip is the configurator's active-profile query: a set and the get that answers it.
int RoundTrip(int count) {
    MouseLink mouse;
    if (!mouse.Open())
        return Fail(L"the mouse is not plugged in");
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> micros;
    for (int i = 0; i < count; ++i) {
        uint8_t query[8] = {0x05, 0x09, 0xFF, 0, 0, 0, 0, 0};
        uint8_t reply[8] = {0x05, 0, 0, 0, 0, 0, 0, 0};
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        BOOL ok = HidD_SetFeature(mouse.Raw(), query, 8) && HidD_GetFeature(mouse.Raw(), reply, 8);
        QueryPerformanceCounter(&end);
        if (!ok)
            return Fail(L"a feature report failed");
        micros.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                         static_cast<double>(frequency.QuadPart));
    }
    std::sort(micros.begin(), micros.end());
    wprintf(L"feature-report round trip (set + get), %d runs: median %.1f us, min %.1f us, max "
            L"%.1f us\n",
            count, micros[micros.size() / 2], micros.front(), micros.back());
    return 0;
}

int Usage() {
    fwprintf(stderr,
             L"usage: tarnmouse plug|unplug|present|load FILE|dump FILE|switch N|set-active N|"
             L"answer N|reject AREA MASK|cut N|clear|status|roundtrip N\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    const std::string verb = Narrow(argv[1]);
    auto number = [&](int index) {
        return static_cast<int32_t>(std::wcstol(argv[index], nullptr, 0));
    };
    if (verb == "plug" && argc == 2)
        return Plug();
    if (verb == "unplug" && argc == 2)
        return Unplug();
    if (verb == "present" && argc == 2)
        return FindHidInterface(TARN_VMOUSE_PATH_PATTERN).empty() ? 1 : 0;
    if (verb == "load" && argc == 3)
        return Load(argv[2]);
    if (verb == "dump" && argc == 3)
        return Dump(argv[2]);
    if (verb == "switch" && argc == 3)
        return Command(TARN_VMOUSE_PRESS_SWITCH, 0, number(2));
    if (verb == "set-active" && argc == 3)
        return Command(TARN_VMOUSE_SET_ACTIVE, 0, number(2));
    if (verb == "answer" && argc == 3)
        return Command(TARN_VMOUSE_QUERY_ANSWER, 0, number(2));
    if (verb == "reject" && argc == 4) {
        const std::string which = Narrow(argv[2]);
        std::optional<uint8_t> area =
            which == "all" ? std::optional<uint8_t>(0xFF) : ParseArea(which);
        if (!area)
            return Usage();
        return Command(TARN_VMOUSE_REJECT_PAGES, *area, number(3));
    }
    if (verb == "cut" && argc == 3)
        return Command(TARN_VMOUSE_CUT_AFTER, 0, number(2));
    if (verb == "clear" && argc == 2)
        return Command(TARN_VMOUSE_CLEAR_FAULTS, 0, 0);
    if (verb == "status" && argc == 2)
        return Status();
    if (verb == "roundtrip" && argc == 3 && number(2) > 0)
        return RoundTrip(number(2));
    return Usage();
}
