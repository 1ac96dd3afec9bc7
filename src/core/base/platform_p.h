#pragma once

#include <atomic>

// Shared by the platform files only.
namespace Platform::Internal {

// Set by the interrupt handler, read once per line by the run.
extern std::atomic<bool> g_interrupted;
static_assert(std::atomic<bool>::is_always_lock_free);

} // namespace Platform::Internal
