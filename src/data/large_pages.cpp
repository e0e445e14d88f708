#include "data/large_pages.h"

#include <cstdint>
#include <system_error>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vortana {

void AskForLargePages(void* start, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t begin = (first + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t end = (first + bytes) & ~(kLargePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)start;
  (void)bytes;
#endif
}

PagesMappedAhead::PagesMappedAhead(void* start, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  // Below this the thread costs more than the faults it takes.
  constexpr std::size_t kWorthwhile = std::size_t{16} << 20;
  constexpr std::uintptr_t kStep = std::uintptr_t{2} << 20;
  if (bytes < kWorthwhile || std::thread::hardware_concurrency() < 2) return;
  const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(start) + kStep - 1) & ~(kStep - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(kStep - 1);
  try {
    mapper_ = std::thread([this, first, end] {
      // A range the writer has already touched returns at once; a refusal (an older kernel)
      // ends the help.
      for (std::uintptr_t at = end; at > first && !stop_.load(std::memory_order_relaxed);
           at -= kStep) {
        if (madvise(reinterpret_cast<void*>(at - kStep), kStep, MADV_POPULATE_WRITE) != 0) return;
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: the writer takes every fault itself, as without this helper.
  }
#else
  (void)start;
  (void)bytes;
#endif
}

PagesMappedAhead::~PagesMappedAhead() {
  stop_.store(true, std::memory_order_relaxed);
  if (mapper_.joinable()) mapper_.join();
}

}  // namespace vortana
