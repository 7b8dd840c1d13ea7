#include "core/system/quit_request.h"

#include <atomic>

namespace orba {
namespace {

// Lock-free, so a signal handler may store into it and the watchdog
// thread read it.
std::atomic<bool> g_quit_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<uint64_t> g_progress{0};
static_assert(std::atomic<uint64_t>::is_always_lock_free);

}  // namespace

void RequestQuit() noexcept { g_quit_requested.store(true, std::memory_order_relaxed); }

bool QuitRequested() noexcept { return g_quit_requested.load(std::memory_order_relaxed); }

void ReportProgress() noexcept { g_progress.fetch_add(1, std::memory_order_relaxed); }

uint64_t ProgressReports() noexcept { return g_progress.load(std::memory_order_relaxed); }

}  // namespace orba
