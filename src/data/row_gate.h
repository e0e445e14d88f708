#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace vortana {

/// About this many values of each array make a band of rows, a megabyte of floats: large
/// enough that a read costs little beyond its bytes, small enough to stay in the cache.
inline constexpr std::size_t kBandValues = std::size_t{1} << 18;

/// Whether a step of `values` values an array is worth reading in bands on another thread while
/// its rows are built: below a million values, or on one core, the thread costs more.
inline bool WorthReadingInBands(std::size_t values) {
  return values >= (std::size_t{1} << 20) && std::thread::hardware_concurrency() >= 2;
}

/// Where a builder waits for the node rows of a step still being read elsewhere.
class RowGate {
 public:
  virtual ~RowGate() = default;
  /// Returns once the first `rows` node rows (slice by slice, each row in the field's order) can
  /// be read; throws when they never will.
  virtual void Await(std::size_t rows) = 0;
};

/// Rows another thread of this process reads while a builder waits for them.
class ThreadRows final : public RowGate {
 public:
  void Await(std::size_t rows) override {
    for (;;) {
      const uint64_t state = state_.load(std::memory_order_acquire);
      if ((state & ~kEnded) >= rows) return;
      if (state & kEnded) throw Ended{};
      state_.wait(state, std::memory_order_acquire);
    }
  }
  /// The first `rows` node rows are in.
  void RowsIn(std::size_t rows) {
    state_.store(rows, std::memory_order_release);
    state_.notify_one();
  }
  /// The reader has stopped, with every row in or not.
  void End() {
    state_.fetch_or(kEnded, std::memory_order_release);
    state_.notify_one();
  }
  /// Set when the builder gives up: the reader should stop at its next row.
  bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
  void Stop() { stop_.store(true, std::memory_order_relaxed); }

  /// What Await throws once the reader has stopped short.
  struct Ended {};

 private:
  static constexpr uint64_t kEnded = uint64_t{1} << 63;
  std::atomic<uint64_t> state_{0};
  std::atomic<bool> stop_{false};
};

/// Runs `read(rows)` on another thread, which reads the node rows in order and calls
/// rows.RowsIn(n) as the first n come in (stopping early once rows.Stopped()), while
/// `build(&rows)` builds them on this one; returns what `build` returns. What `read` throws (a
/// refusal) is rethrown in preference to the builder's ThreadRows::Ended. Without a thread to be
/// had, everything is read first.
template <typename Read, typename Build>
auto BuildWhileReading(Read read, Build build) {
  ThreadRows rows;
  std::exception_ptr failure;
  auto reading = [&] {
    try {
      read(rows);
    } catch (...) {
      failure = std::current_exception();
    }
    rows.End();
  };
  std::thread reader;
  try {
    reader = std::thread(reading);
  } catch (const std::system_error&) {
    reading();
  }
  try {
    auto built = build(static_cast<RowGate*>(&rows));
    if (reader.joinable()) reader.join();
    return built;
  } catch (...) {
    rows.Stop();
    if (reader.joinable()) reader.join();
    if (failure) std::rethrow_exception(failure);
    throw;
  }
}

}  // namespace vortana
