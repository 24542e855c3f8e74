// The virtual mouse and filter devices as the end-to-end tests set them up.
#pragma once

#include "filter_client_win.h"
#include "vmouse_client_win.h"

namespace tarn::e2e {

// Plug or unplug the virtual mouse if it is not already so; false (with a test failure
// message) when the system did not follow.
bool EnsurePlugged();
bool EnsureUnplugged();

// A memory image whose every byte differs from its neighbours', seeded so two images differ.
virt::MemoryImage PatternImage(uint8_t seed);

} // namespace tarn::e2e
