#include "dialog_harness.h"

#include <cstdio>
#include <cstring>

namespace {

ModalSteps* runningSteps = nullptr;

uint32_t Crc32(const uint8_t* data, size_t length, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutBig32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, Crc32(out.data() + start, out.size() - start));
}

// An RGB PNG with stored (uncompressed) deflate blocks: no compression library needed.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const uint8_t* row = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
        raw.insert(raw.end(), row, row + static_cast<size_t>(width) * 3);
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    uint32_t a = 1;
    uint32_t b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + n >= raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<ptrdiff_t>(pos),
                 raw.begin() + static_cast<ptrdiff_t>(pos + n));
        pos += n;
        if (last) {
            break;
        }
    }
    PutBig32(z, (b << 16) | a);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(width));
    PutBig32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

} // namespace

ModalSteps::ModalSteps(std::vector<Step> steps, UINT periodMs) : steps_(std::move(steps)) {
    runningSteps = this;
    timer_ = SetTimer(nullptr, 0, periodMs, Tick);
}

ModalSteps::~ModalSteps() {
    KillTimer(nullptr, timer_);
    runningSteps = nullptr;
}

void CALLBACK ModalSteps::Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalSteps* self = runningSteps;
    // A step that pumps messages itself must not see the next step run inside it.
    if (self == nullptr || self->running_) {
        return;
    }
    if (self->Done()) {
        // Steps that failed to end the modal dialog must not hang the test: end it.
        if (++self->idleTicks_ > 40) {
            HWND stuck = GetActiveWindow();
            if (stuck != nullptr) {
                EndDialog(stuck, -1);
                self->endedStuck_ = true;
            }
        }
        return;
    }
    Step step = self->steps_[self->next_++];
    self->running_ = true;
    step();
    self->running_ = false;
}

void PressKey(WORD vk, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
}

void TapKey(WORD vk) {
    PressKey(vk, true);
    PressKey(vk, false);
}

HWND FindDialog(const wchar_t* caption) {
    return FindWindowW(L"#32770", caption);
}

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

bool Visible(HWND dialog, int id) {
    return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

std::vector<std::wstring> ListRows(HWND dialog, int id) {
    std::vector<std::wstring> rows;
    HWND list = GetDlgItem(dialog, id);
    auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        rows.push_back(text);
    }
    return rows;
}

bool SaveScreenshot(HWND window, const wchar_t* name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    UpdateWindow(window);
    PumpMessagesFor(200);
    RECT rect;
    GetWindowRect(window, &rect);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP shot = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, shot);
    BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    const auto* bgra = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(w) * static_cast<size_t>(h); ++i) {
        rgb[3 * i] = bgra[4 * i + 2];
        rgb[3 * i + 1] = bgra[4 * i + 1];
        rgb[3 * i + 2] = bgra[4 * i];
    }
    SelectObject(memory, old);
    DeleteObject(shot);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    CreateDirectoryW(L"screenshots", nullptr);
    std::wstring path = std::wstring(L"screenshots\\") + name;
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        return false;
    }
    std::vector<uint8_t> png = EncodePng(w, h, rgb);
    bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    std::fclose(file);
    return ok;
}

std::vector<uint8_t> MouseArea(const SimulatedMouse& mouse, int area) {
    const uint8_t* bytes = mouse.firmware.memory[area];
    return std::vector<uint8_t>(bytes, bytes + kBlockLength);
}

std::vector<uint8_t> CachedValue(int number) {
    std::wstring key = CacheKeyPath(number);
    std::vector<uint8_t> value(kBlockLength + 16);
    DWORD size = static_cast<DWORD>(value.size());
    LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), CacheValueName(number),
                                  RRF_RT_REG_BINARY, nullptr, value.data(), &size);
    value.resize(status == ERROR_SUCCESS ? size : 0);
    return value;
}
