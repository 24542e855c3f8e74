#include "simulated_mouse.h"

#include <cstdio>
#include <cstring>
#include <utility>

const wchar_t* const SimulatedMouse::kConfigPath =
    L"\\\\?\\hid#vid_f1d0&pid_0084&mi_02&col01#8&2a1c3e07&0&0000#"
    L"{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::vector<SimulatedInterface> SimulatedMouse::TypicalInterfaces() {
    std::vector<SimulatedInterface> list(4);
    list[0].path = L"\\\\?\\hid#vid_2a7b&pid_1101&mi_00#7&1f0e2b11&0&0000#"
                   L"{4d1e55b2-f16f-11cf-88cb-001111000030}";
    list[0].mouse = false;
    list[0].openable = false;
    list[1].path = L"\\\\?\\HID#VID_F1D0&PID_0084&MI_00#8&11d0c0a1&0&0000#"
                   L"{4d1e55b2-f16f-11cf-88cb-001111000030}";
    list[1].openable = false; // the pointer collection belongs to the system
    list[2].path = L"\\\\?\\hid#vid_f1d0&pid_0084&mi_01&col02#8&3b0f5d20&0&0001#"
                   L"{4d1e55b2-f16f-11cf-88cb-001111000030}";
    list[2].openable = false; // keyboard collection, likewise
    list[3].path = kConfigPath;
    return list;
}

SimulatedMouse::SimulatedMouse() : SimulatedMouse(TypicalInterfaces()) {}

SimulatedMouse::SimulatedMouse(std::vector<SimulatedInterface> list) : interfaces(std::move(list)) {
    tarn_fw_init(&firmware);
}

void SimulatedMouse::ExpectSet(const FeatureReport& report, bool ok) {
    scripted = true;
    script_.push_back({true, report, ok});
}

void SimulatedMouse::ExpectGet(const FeatureReport& reply, bool ok) {
    scripted = true;
    script_.push_back({false, reply, ok});
}

std::vector<FeatureReport> SimulatedMouse::Sent() const {
    std::vector<FeatureReport> out;
    for (const Exchange& e : transcript)
        if (e.kind == Exchange::Set)
            out.push_back(e.bytes);
    return out;
}

std::vector<FeatureReport> SimulatedMouse::Received() const {
    std::vector<FeatureReport> out;
    for (const Exchange& e : transcript)
        if (e.kind == Exchange::Get)
            out.push_back(e.bytes);
    return out;
}

int SimulatedMouse::OpenHandles() const {
    int count = 0;
    for (int i : open_)
        count += i >= 0;
    return count;
}

bool SimulatedMouse::BeginEnumeration(EnumerationPurpose) {
    present_.clear();
    for (size_t i = 0; i < interfaces.size(); ++i)
        if (!(unplugged && interfaces[i].mouse))
            present_.push_back(int(i));
    enumerating_ = true;
    return true;
}

InterfaceEntry SimulatedMouse::InterfaceAt(uint32_t n, wchar_t* path, size_t capacity) {
    if (!enumerating_ || n >= present_.size())
        return InterfaceEntry::End;
    const SimulatedInterface& in = interfaces[size_t(present_[n])];
    if (in.pathFails || in.path.size() >= capacity)
        return InterfaceEntry::Skip;
    std::wmemcpy(path, in.path.c_str(), in.path.size() + 1);
    return InterfaceEntry::Path;
}

void SimulatedMouse::EndEnumeration() {
    present_.clear();
    enumerating_ = false;
}

bool SimulatedMouse::Open(const wchar_t* path, MouseHandle* handle) {
    for (size_t i = 0; i < interfaces.size(); ++i) {
        const SimulatedInterface& in = interfaces[i];
        if (in.path != path)
            continue;
        const bool gone = in.vanishes || (unplugged && in.mouse);
        if (gone || !in.openable) {
            transcript.push_back({Exchange::OpenFailed, int(i), {}, false});
            return false;
        }
        size_t slot = 0;
        while (slot < open_.size() && open_[slot] >= 0)
            ++slot;
        if (slot == open_.size())
            open_.push_back(-1);
        open_[slot] = int(i);
        // Handles are slot + 1, so no open interface is ever the null handle.
        *handle = reinterpret_cast<MouseHandle>(slot + 1);
        transcript.push_back({Exchange::Open, int(i), {}, true});
        return true;
    }
    transcript.push_back({Exchange::OpenFailed, -1, {}, false});
    return false;
}

int SimulatedMouse::InterfaceOf(MouseHandle handle) const {
    const size_t slot = reinterpret_cast<size_t>(handle) - 1;
    return slot < open_.size() ? open_[slot] : -1;
}

void SimulatedMouse::Close(MouseHandle handle) {
    const int index = InterfaceOf(handle);
    if (index >= 0)
        open_[reinterpret_cast<size_t>(handle) - 1] = -1;
    transcript.push_back({Exchange::Close, index, {}, index >= 0});
}

bool SimulatedMouse::Transfer(bool set, MouseHandle handle, uint8_t* report, uint32_t length) {
    const int index = InterfaceOf(handle);
    Exchange record{set ? Exchange::Set : Exchange::Get, index, {}, false};
    const size_t shown = length < record.bytes.size() ? length : record.bytes.size();
    if (set && report)
        std::memcpy(record.bytes.data(), report, shown);

    bool ok = false;
    // NOLINTNEXTLINE(bugprone-branch-clone): each refusal is its own case, in order of precedence
    if (index < 0 || !report) {
        ok = false;
    } else if (unplugAfterReports >= 0 && reportCount >= unplugAfterReports) {
        unplugged = true;
    } else if (unplugged && interfaces[size_t(index)].mouse) {
        ok = false;
    } else if (!interfaces[size_t(index)].acceptsReports) {
        ok = false;
    } else if (scripted) {
        char what[160];
        if (script_.empty()) {
            std::snprintf(what, sizeof what, "unexpected %s report %zu", set ? "set" : "get",
                          transcript.size());
            scriptErrors.push_back(what);
        } else {
            const Expectation e = script_.front();
            script_.pop_front();
            if (e.set != set) {
                std::snprintf(what, sizeof what, "report %zu: expected a %s, got a %s",
                              transcript.size(), e.set ? "set" : "get", set ? "set" : "get");
                scriptErrors.push_back(what);
            } else if (set && (length != 8 || std::memcmp(report, e.bytes.data(), 8) != 0)) {
                std::snprintf(what, sizeof what,
                              "report %zu: set %02x %02x %02x %02x %02x %02x %02x %02x differs",
                              transcript.size(), report[0], length > 1 ? report[1] : 0,
                              length > 2 ? report[2] : 0, length > 3 ? report[3] : 0,
                              length > 4 ? report[4] : 0, length > 5 ? report[5] : 0,
                              length > 6 ? report[6] : 0, length > 7 ? report[7] : 0);
                scriptErrors.push_back(what);
            } else {
                if (!set && e.ok)
                    std::memcpy(report, e.bytes.data(), shown);
                ok = e.ok;
            }
        }
    } else {
        const uint64_t now = clock ? clock() : 0;
        ok = (set ? tarn_fw_set_feature(&firmware, report, length, now)
                  : tarn_fw_get_feature(&firmware, report, length, now)) != 0;
    }
    if (index >= 0 && !(unplugged && interfaces[size_t(index)].mouse))
        ++reportCount;
    if (!set && report)
        std::memcpy(record.bytes.data(), report, shown);
    record.ok = ok;
    transcript.push_back(record);
    return ok;
}

bool SimulatedMouse::SetFeature(MouseHandle handle, const uint8_t* report, uint32_t length) {
    return Transfer(true, handle, const_cast<uint8_t*>(report), length);
}

bool SimulatedMouse::GetFeature(MouseHandle handle, uint8_t* report, uint32_t length) {
    return Transfer(false, handle, report, length);
}
