// A simulated mouse behind the HID interface seam, for tests, benchmarks and demos.
//
// Model mode (the default): every feature report goes to the firmware model (firmware_model.h),
// which keeps the six memory areas and the active profile, exactly as the virtual HID driver
// does. Scripted mode: each report is checked against a queue of expected reports, byte for
// byte, and gets the scripted reply; anything else is recorded in scriptErrors and fails.
//
// The mouse has several HID interfaces, each with its own device path, and may share the
// enumeration with other HID devices. Per interface: whether it opens for reading and writing,
// whether it vanishes between enumeration and open, whether its path cannot be fetched, and
// whether it accepts feature report 5 at all. For the whole mouse: unplug after N reports.
// Every open, close and report is recorded in `transcript`.
#pragma once

#include "firmware_model.h"
#include "mouse/hid_interfaces.h"
#include "mouse/memory_protocol.h"
#include "mouse/pacing_wait.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

using FeatureReport = std::array<uint8_t, 8>;

struct SimulatedInterface {
    std::wstring path;
    bool mouse = true;          // part of the mouse (vanishes on unplug)
    bool openable = true;       // false: CreateFileW refuses read-write access
    bool vanishes = false;      // listed, but gone by the time it is opened
    bool pathFails = false;     // the interface detail cannot be fetched
    bool acceptsReports = true; // false: every feature report fails on this interface
};

struct Exchange {
    enum Kind { Open, OpenFailed, Close, Set, Get } kind;
    int interfaceIndex;
    FeatureReport bytes; // Set: what was sent; Get: what the caller got back
    bool ok;
};

class SimulatedMouse : public MouseInterfaceSet {
  public:
    // Path of the configuration interface, and a typical set around it: the mouse's pointer
    // and keyboard collections (opened exclusively by the system, so not openable), its
    // configuration collection, and a foreign HID device.
    static const wchar_t* const kConfigPath;
    static std::vector<SimulatedInterface> TypicalInterfaces();

    SimulatedMouse(); // TypicalInterfaces()
    explicit SimulatedMouse(std::vector<SimulatedInterface> list);

    TarnFirmware firmware;                      // memory, active profile and fault hooks
    std::vector<SimulatedInterface> interfaces; // in enumeration order
    std::vector<Exchange> transcript;

    // Fault: after this many reports (set or get, on any interface) the mouse is unplugged:
    // its interfaces leave the enumeration, opens fail and every transfer fails. -1: never.
    long unplugAfterReports = -1;
    bool unplugged = false;
    long reportCount = 0;
    // Optional clock in microseconds for the firmware's pacing check.
    std::function<uint64_t()> clock;

    // Scripted mode.
    void ExpectSet(const FeatureReport& report, bool ok = true);
    void ExpectGet(const FeatureReport& reply, bool ok = true);
    bool scripted = false; // set by the first Expect call
    std::vector<std::string> scriptErrors;
    size_t PendingExpectations() const { return script_.size(); }

    // The reports sent (Set) or received (Get) in order, over every interface.
    std::vector<FeatureReport> Sent() const;
    std::vector<FeatureReport> Received() const;
    int OpenHandles() const;
    void ClearTranscript() { transcript.clear(); }

    // MouseInterfaceSet
    bool BeginEnumeration(EnumerationPurpose purpose) override;
    InterfaceEntry InterfaceAt(uint32_t n, wchar_t* path, size_t capacity) override;
    void EndEnumeration() override;
    bool Open(const wchar_t* path, MouseHandle* handle) override;
    bool SetFeature(MouseHandle handle, const uint8_t* report, uint32_t length) override;
    bool GetFeature(MouseHandle handle, uint8_t* report, uint32_t length) override;
    void Close(MouseHandle handle) override;

  private:
    struct Expectation {
        bool set;
        FeatureReport bytes;
        bool ok;
    };
    int InterfaceOf(MouseHandle handle) const;
    bool Transfer(bool set, MouseHandle handle, uint8_t* report, uint32_t length);
    std::deque<Expectation> script_;
    std::vector<int> present_; // interfaces listed by the current enumeration
    std::vector<int> open_;    // interface index per handle slot, -1 when closed
    bool enumerating_ = false;
};

// A pacing wait that records every requested duration and advances a virtual clock instead
// of sleeping, so tests can check the waits and the firmware's pacing without waiting.
class RecordingWait : public PacingWait {
  public:
    void Wait(uint32_t milliseconds) override {
        waits.push_back(milliseconds);
        nowUs += uint64_t(milliseconds) * 1000;
        if (onWait)
            onWait(milliseconds);
    }
    std::vector<uint32_t> waits;
    uint64_t nowUs = 1; // 0 would mean "no time" to the firmware
    // Optional: called after each wait, so a test can see what had happened by then.
    std::function<void(uint32_t)> onWait;
};

// Ties the mouse's firmware to a recording wait's virtual clock for the lifetime of the
// object, so every test that moves memory pages also has its pacing checked (and refused when
// too early). A session over the mouse takes the same wait.
class SimulatedMouseScope {
  public:
    SimulatedMouseScope(SimulatedMouse& mouse, RecordingWait* wait) : mouse_(mouse) {
        mouse.clock = [wait] { return wait->nowUs; };
    }
    ~SimulatedMouseScope() { mouse_.clock = nullptr; }
    SimulatedMouseScope(const SimulatedMouseScope&) = delete;
    SimulatedMouseScope& operator=(const SimulatedMouseScope&) = delete;

  private:
    SimulatedMouse& mouse_;
};
