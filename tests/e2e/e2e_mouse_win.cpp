#include "e2e_mouse.h"

#include <gtest/gtest.h>

#include "e2e_harness_win.h"

namespace tarn::e2e {

bool EnsurePlugged() {
    if (virt::VirtualMousePresent())
        return true;
    std::wstring error;
    const bool ok = virt::PlugVirtualMouse(VirtualDir(), &error);
    if (!ok)
        ADD_FAILURE() << "plugging the virtual mouse: " << std::string(error.begin(), error.end());
    return ok;
}

bool EnsureUnplugged() {
    if (!virt::VirtualMousePresent())
        return true;
    std::wstring error;
    const bool ok = virt::UnplugVirtualMouse(&error);
    if (!ok)
        ADD_FAILURE() << "unplugging the virtual mouse: "
                      << std::string(error.begin(), error.end());
    return ok;
}

virt::MemoryImage PatternImage(uint8_t seed) {
    virt::MemoryImage image{};
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>((i * 31 + seed + (i >> 8)) & 0xFF);
    return image;
}

void DeskMouseTest::SetUp() {
    KillProcesses(L"TarnDesk.exe");
    ASSERT_TRUE(EnsurePlugged());
    mouse_.emplace();
    ASSERT_TRUE(mouse_->Open());
    ASSERT_TRUE(mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS));
    DeleteCache();
}

void DeskMouseTest::TearDown() {
    if (mouse_)
        mouse_->Command(TARN_VMOUSE_CLEAR_FAULTS);
    KillProcesses(L"TarnDesk.exe");
}

uint32_t DeskMouseTest::PagesRead() const {
    std::optional<virt::MouseStatus> status = mouse_->Status();
    return status ? status->pagesRead : 0;
}

uint32_t DeskMouseTest::PagesWritten() const {
    std::optional<virt::MouseStatus> status = mouse_->Status();
    return status ? status->pagesWritten : 0;
}

} // namespace tarn::e2e
