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

} // namespace tarn::e2e
