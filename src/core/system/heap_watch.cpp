#include "core/system/heap_watch.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>

#include "core/system/trace.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORBA_HEAP_FROM_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORBA_HEAP_FROM_SANITIZER 1
#endif

#ifdef ORBA_HEAP_FROM_SANITIZER
#include <sanitizer/allocator_interface.h>
#endif

namespace orba {
namespace {

std::atomic<uint64_t> g_ceiling{0};
std::atomic<bool> g_passed{false};
std::atomic<int64_t> g_next_read_ns{0};

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

#ifndef ORBA_HEAP_FROM_SANITIZER
// The resident set from /proc/self/statm (its second field, in pages):
// one small read, where the allocator's own statistics walk every free
// block (a fragmented heap takes them a tenth of a second).
uint64_t ResidentBytes() {
  const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[128];
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 0) return 0;
  text[n] = '\0';
  char* rest = nullptr;
  std::strtoull(text, &rest, 10);  // the size of the address space
  const unsigned long long pages = std::strtoull(rest, nullptr, 10);
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}
#endif

}  // namespace

uint64_t HeapCeilingFor(uint64_t physical_bytes) {
  if (physical_bytes == 0) return kMaxHeapCeiling;
  return std::min(kMaxHeapCeiling, physical_bytes / 2);
}

uint64_t MachineHeapCeiling() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), page_size = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return HeapCeilingFor(0);
  return HeapCeilingFor(static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size));
}

void SetHeapCeiling(uint64_t bytes) { g_ceiling.store(bytes, std::memory_order_relaxed); }
uint64_t HeapCeiling() { return g_ceiling.load(std::memory_order_relaxed); }

uint64_t HeapInUse() {
#ifdef ORBA_HEAP_FROM_SANITIZER
  // The sanitizer's shadow and quarantine would count in the resident set.
  return __sanitizer_get_current_allocated_bytes() + static_cast<uint64_t>(ChargeHeapBytes(0));
#else
  return ResidentBytes() + static_cast<uint64_t>(ChargeHeapBytes(0));
#endif
}

bool CheckHeapCeiling() {
  if (g_passed.load(std::memory_order_relaxed)) return true;
  const uint64_t ceiling = HeapCeiling();
  if (ceiling == 0) return false;
  const int64_t now = NowNs();
  if (now < g_next_read_ns.load(std::memory_order_relaxed)) return false;
  g_next_read_ns.store(now + int64_t{kHeapReadIntervalMs} * 1000000, std::memory_order_relaxed);
  const uint64_t used = HeapInUse();
  if (used <= ceiling) return false;
  if (g_passed.exchange(true)) return true;
  Trace("heap: " + std::to_string(used) + " bytes in use, past the ceiling of " + std::to_string(ceiling));
  return true;
}

bool HeapCeilingPassed() { return g_passed.load(std::memory_order_relaxed); }

void ResetHeapCeiling() {
  g_passed.store(false, std::memory_order_relaxed);
  g_next_read_ns.store(0, std::memory_order_relaxed);
}

bool HeapRoomFor(uint64_t bytes) {
  if (g_passed.load(std::memory_order_relaxed)) return false;
  const uint64_t ceiling = HeapCeiling();
  if (ceiling == 0) return true;
  const uint64_t used = HeapInUse();
  if (bytes <= ceiling && used <= ceiling - bytes) return true;
  if (g_passed.exchange(true)) return false;
  Trace("heap: " + std::to_string(used) + " bytes in use and " + std::to_string(bytes) +
        " more asked for, past the ceiling of " + std::to_string(ceiling));
  return false;
}

int64_t ChargeHeapBytes(int64_t delta) {
  static std::atomic<int64_t> charged{0};
  return std::max<int64_t>(charged.fetch_add(delta) + delta, 0);
}

}  // namespace orba
