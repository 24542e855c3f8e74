// tarnfilter: loads the virtual filter drivers and makes their devices emit records.
//   tarnfilter start | stop                   load / unload the kernel driver (service tarnfilt)
//   tarnfilter inject DEVICE [--buttons M] [--tilt T] [--key K] [--battery B] [--code C]
//                            [--count N] [--rate PER_SECOND]
//   tarnfilter status DEVICE                  the settings record the device was sent, counters
//   tarnfilter reset DEVICE
//   tarnfilter latency N                      median inject-to-wake time of an armed reader
// DEVICE is hid (TarnHidLowerFilter), ps2 (TarnPS2UpperFilter) or vell (VellHIDupFilter).
// Exit code 0 on success, 1 on failure, 2 on a usage error.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device_install_win.h"
#include "filter_client_win.h"

namespace {

using namespace tarn::virt;

int Fail(const std::wstring& message) {
    fwprintf(stderr, L"tarnfilter: %ls\n", message.c_str());
    return 1;
}

int Usage() {
    fwprintf(stderr,
             L"usage: tarnfilter start|stop|inject DEVICE [options]|status DEVICE|reset DEVICE|"
             L"latency N\n");
    return 2;
}

HANDLE OpenDevice(int index) {
    return OpenFilterDevice(index);
}

bool Control(HANDLE device, uint32_t code, const void* in, DWORD inLength, void* out,
             DWORD outLength) {
    DWORD returned = 0;
    return DeviceIoControl(device, code, const_cast<void*>(in), inLength, out, outLength, &returned,
                           nullptr) != FALSE;
}

int Start() {
    std::wstring error;
    if (!StartFilterDrivers(ToolDirectory(), &error))
        return Fail(error);
    wprintf(L"filter devices ready\n");
    return 0;
}

int Stop() {
    std::wstring error;
    return StopKernelService(L"tarnfilt", false, &error) ? 0 : Fail(error);
}

int Inject(int index, const InjectRequest& request) {
    HANDLE device = OpenDevice(index);
    if (device == INVALID_HANDLE_VALUE)
        return Fail(LastErrorText(L"opening the device"));
    const std::vector<uint8_t> record = BuildRecord(index, request);
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int sent = 0;
    for (uint32_t i = 0; i < request.count; ++i) {
        if (request.ratePerSecond > 0 && i > 0) {
            // Paced against the start, so rounding of single sleeps does not add up.
            const double due = static_cast<double>(i) / request.ratePerSecond;
            for (;;) {
                QueryPerformanceCounter(&now);
                const double elapsed = static_cast<double>(now.QuadPart - start.QuadPart) /
                                       static_cast<double>(frequency.QuadPart);
                if (elapsed >= due)
                    break;
                const double left = (due - elapsed) * 1000.0;
                Sleep(left > 2.0 ? static_cast<DWORD>(left - 1.0) : 0);
            }
        }
        if (!Control(device, TARN_SIM_IOCTL_INJECT, record.data(),
                     static_cast<DWORD>(record.size()), nullptr, 0))
            break;
        ++sent;
    }
    CloseHandle(device);
    wprintf(L"injected %d record(s)\n", sent);
    return sent == static_cast<int>(request.count) ? 0 : Fail(L"the device refused a record");
}

int Status(int index) {
    HANDLE device = OpenDevice(index);
    if (device == INVALID_HANDLE_VALUE)
        return Fail(LastErrorText(L"opening the device"));
    uint8_t status[TARN_SIM_STATUS_LENGTH] = {};
    bool ok = Control(device, TARN_SIM_IOCTL_STATUS, nullptr, 0, status, sizeof(status));
    CloseHandle(device);
    if (!ok)
        return Fail(L"no status");
    wprintf(L"%hs\n", FormatStatus(status).c_str());
    return 0;
}

int Reset(int index) {
    HANDLE device = OpenDevice(index);
    if (device == INVALID_HANDLE_VALUE)
        return Fail(LastErrorText(L"opening the device"));
    bool ok = Control(device, TARN_SIM_IOCTL_RESET, nullptr, 0, nullptr, 0);
    CloseHandle(device);
    return ok ? 0 : Fail(L"reset refused");
}

// An armed reader on one handle, records injected on another: the time from the inject
// request to the reader's wake-up, as the agent's reader would see it.
int Latency(int count) {
    HANDLE reader = OpenDevice(TARN_FILTER_HID_LOWER);
    HANDLE injector = OpenDevice(TARN_FILTER_HID_LOWER);
    if (reader == INVALID_HANDLE_VALUE || injector == INVALID_HANDLE_VALUE)
        return Fail(LastErrorText(L"opening the device"));
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<uint8_t> wait = BuildWaitRecord(reinterpret_cast<uintptr_t>(event), 1);
    InjectRequest request;
    request.buttons = 1;
    std::vector<uint8_t> record = BuildRecord(TARN_FILTER_HID_LOWER, request);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> micros;
    uint8_t fetched[TARN_EVENT_RECORD_LENGTH];
    for (int i = 0; i < count; ++i) {
        if (!Control(reader, IOCTL_TARN_ARM_EVENT, wait.data(), TARN_WAIT_RECORD_LENGTH, nullptr,
                     0))
            return Fail(L"arm refused");
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        Control(injector, TARN_SIM_IOCTL_INJECT, record.data(), static_cast<DWORD>(record.size()),
                nullptr, 0);
        if (WaitForSingleObject(event, 2000) != WAIT_OBJECT_0)
            return Fail(L"the armed event was not set");
        QueryPerformanceCounter(&end);
        Control(reader, IOCTL_TARN_GET_EVENT, wait.data(), TARN_WAIT_RECORD_LENGTH, fetched,
                sizeof(fetched));
        micros.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                         static_cast<double>(frequency.QuadPart));
    }
    std::sort(micros.begin(), micros.end());
    wprintf(L"inject-to-wake, %d runs: median %.1f us, min %.1f us, max %.1f us\n", count,
            micros[micros.size() / 2], micros.front(), micros.back());
    CloseHandle(event);
    CloseHandle(reader);
    CloseHandle(injector);
    return 0;
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(*text < 128 ? *text : '?');
    return out;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Narrow(argv[i]));
    const std::string& verb = args[0];
    if (verb == "start" && args.size() == 1)
        return Start();
    if (verb == "stop" && args.size() == 1)
        return Stop();
    if (verb == "latency" && args.size() == 2) {
        const int count = std::atoi(args[1].c_str());
        return count > 0 ? Latency(count) : Usage();
    }
    if (args.size() < 2)
        return Usage();
    const int index = ParseDeviceName(args[1]);
    if (index < 0)
        return Usage();
    if (verb == "status" && args.size() == 2)
        return Status(index);
    if (verb == "reset" && args.size() == 2)
        return Reset(index);
    if (verb == "inject") {
        std::optional<InjectRequest> request = ParseInjectOptions({args.begin() + 2, args.end()});
        return request ? Inject(index, *request) : Usage();
    }
    return Usage();
}
