#pragma once

#include <atomic>
#include <functional>

namespace vortana {

/// What long work shares with the thread that asked for it: a stop request the work polls at its
/// natural points (between seeds, every few thousand steps of a trace), and counters of what is
/// done, which the asking thread may read at any time. Relaxed atomics suffice: neither side
/// reads any other data through them, and the result itself is handed over once the work ended.
class WorkMonitor {
 public:
  /// Steps a trace takes between two looks at the stop request: some 100 microseconds of work.
  static constexpr long long kStepsBetweenPolls = 4096;

  void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

  /// Streamlines kept so far.
  void CountPlaced() { placed_.fetch_add(1, std::memory_order_relaxed); }
  int Placed() const { return placed_.load(std::memory_order_relaxed); }

  /// The share done as `done` of `total` units (seeds tried, pixels covered); total 0: unknown.
  void SetTotal(long long total) { total_.store(total, std::memory_order_relaxed); }
  void AddDone(long long units) { done_.fetch_add(units, std::memory_order_relaxed); }
  long long Total() const { return total_.load(std::memory_order_relaxed); }
  long long Done() const { return done_.load(std::memory_order_relaxed); }

  /// The picture of running work is whole between two seeds. A watcher that wants to show it
  /// grow asks with RequestPicture; the work then calls `offer` (set before it starts, called on
  /// its own thread) at the next seed.
  void SetPictureOffer(std::function<void()> offer) { offer_ = std::move(offer); }
  void RequestPicture() { pictureWanted_.store(true, std::memory_order_relaxed); }
  void AtSeed() {
    if (offer_ && pictureWanted_.exchange(false, std::memory_order_relaxed)) offer_();
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> placed_{0};
  std::atomic<long long> total_{0};
  std::atomic<long long> done_{0};
  std::atomic<bool> pictureWanted_{false};
  std::function<void()> offer_;
};

/// True when `monitor` is given and asks the work to stop.
inline bool StopRequested(const WorkMonitor* monitor) {
  return monitor != nullptr && monitor->StopRequested();
}

/// The poll before a seed: offers the picture when asked, then says whether to go on.
inline bool NextSeed(WorkMonitor* monitor) {
  if (monitor == nullptr) return true;
  monitor->AtSeed();
  return !monitor->StopRequested();
}

}  // namespace vortana
