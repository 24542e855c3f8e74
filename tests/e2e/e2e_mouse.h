// The virtual mouse and filter devices as the end-to-end tests set them up.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "filter_client_win.h"
#include "vmouse_client_win.h"

namespace tarn::e2e {

// Plug or unplug the virtual mouse if it is not already so; false (with a test failure
// message) when the system did not follow.
bool EnsurePlugged();
bool EnsureUnplugged();

// A memory image whose every byte differs from its neighbours', seeded so two images differ.
virt::MemoryImage PatternImage(uint8_t seed);

// TarnDesk's tests against the virtual mouse: each starts with no TarnDesk running, the mouse
// plugged without faults and the registry cache gone, and ends with no TarnDesk left.
class DeskMouseTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    uint32_t PagesRead() const;
    uint32_t PagesWritten() const;

    std::optional<virt::MouseLink> mouse_; // opened once the mouse is surely plugged
};

} // namespace tarn::e2e
