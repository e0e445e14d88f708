#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace vortana {

/// Asks the system to back a large array that is about to be written once from start to end
/// with large pages where it can: a 32 MiB array then takes 16 page faults instead of 8192 (the
/// faults were about half of a load's time in the kernel), and traces that wander over the field
/// miss the address translation cache less often. Only whole large pages inside the array are
/// named; a system that will not, or has no such pages, is left alone.
void AskForLargePages(void* start, std::size_t bytes);

/// While a large array is written from its start, takes its page faults from the end backwards
/// on another core: the system clears each fresh page before it is first written, and for a
/// node array that clearing is as much work as the filling. The pages are only mapped, never
/// written, so the filling thread may reach them at any time. Does nothing for a small array or
/// on a system without the means; the destructor waits for the other core.
class PagesMappedAhead {
 public:
  PagesMappedAhead(void* start, std::size_t bytes);
  ~PagesMappedAhead();
  PagesMappedAhead(const PagesMappedAhead&) = delete;
  PagesMappedAhead& operator=(const PagesMappedAhead&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread mapper_;
};

/// Gives `values` `count` elements (their old values are not kept), asking for large pages
/// before the elements are first written.
template <typename T>
void ResizeOnLargePages(std::vector<T>& values, std::size_t count) {
  values.clear();
  values.reserve(count);
  AskForLargePages(values.data(), count * sizeof(T));
  values.resize(count);
}

}  // namespace vortana
