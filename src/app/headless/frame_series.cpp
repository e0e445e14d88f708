#include "frame_series.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "animation_writer.h"
#include "render_run.h"

namespace vortana {

namespace {

using Clock = std::chrono::steady_clock;

int JobCount(const RenderOptions& options, size_t frames) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t jobs = options.jobs > 0 ? static_cast<size_t>(options.jobs) : cores;
  return static_cast<int>(std::max<size_t>(1, std::min(jobs, frames)));
}

// "frames 12/100, 8.3 frames/s", rewritten in place; only a person watching a terminal wants it.
class Progress {
 public:
  explicit Progress(size_t total) : total_(total), shown_(isatty(STDERR_FILENO) == 1) {}

  void Done(size_t done) {
    if (!shown_) return;
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    std::fprintf(stderr, "\rframes %zu/%zu, %.1f frames/s", done, total_,
                 seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    if (done == total_) std::fputc('\n', stderr);
    std::fflush(stderr);
  }
  void Stopped(size_t done) {
    if (shown_ && done < total_) std::fputc('\n', stderr);
  }

 private:
  size_t total_;
  bool shown_;
  Clock::time_point start_ = Clock::now();
};

// The frames in flight. A job draws the next unclaimed step into a render of its own, waits for
// its turn, writes, and only then takes another: at most one step's field and one picture per
// job are held at any time, and the outputs appear in step order.
class FrameSeries {
 public:
  FrameSeries(const RenderOptions& options, std::vector<int> steps, std::ostream& out)
      : options_(options), steps_(std::move(steps)), out_(out), progress_(steps_.size()) {
    if (!options_.animation.empty()) {
      animation_ = std::make_unique<AnimationWriter>(options_.animation, options_.fps);
    }
  }

  int Run(int jobs) {
    std::vector<std::thread> threads;
    for (int i = 1; i < jobs; ++i) threads.emplace_back([this] { Work(); });
    Work();
    for (std::thread& thread : threads) thread.join();
    progress_.Stopped(written_);
    if (status_ == kExitSuccess && animation_) {
      if (const std::string error = animation_->Commit(); !error.empty()) {
        std::cerr << "vortana-render: " << error << '\n';
        status_ = kExitUnusableData;
      }
    }
    return status_;
  }

 private:
  void Work() {
    for (;;) {
      size_t index = 0;
      {
        const std::lock_guard lock(mutex_);
        if (stopped_ || claimed_ == steps_.size()) return;
        index = claimed_++;
      }
      // Memory running out ends the series as it ends a single render, here with the frames
      // already written kept.
      int status = kExitSuccess;
      std::unique_ptr<StepRender> render;
      try {
        render = std::make_unique<StepRender>(options_.settings.drawingSize);
        status = DrawStep(options_, steps_[index], *render);
      } catch (const std::bad_alloc&) {
        status = kExitOutOfMemory;
      }
      std::unique_lock lock(mutex_);
      turn_.wait(lock, [&] { return stopped_ || written_ == index; });
      if (stopped_) return;
      if (status == kExitSuccess) status = Write(steps_[index], *render);
      render.reset();
      if (status == kExitOutOfMemory) {
        std::cerr << "vortana-render: there is not enough memory to draw step " << steps_[index]
                  << '\n';
        status = kExitUnusableData;
      }
      if (status != kExitSuccess) {
        status_ = status;
        stopped_ = true;
      } else {
        progress_.Done(++written_);
      }
      turn_.notify_all();
    }
  }

  int Write(int step, StepRender& render) {
    try {
      const StepOutputs outputs{
          options_.output.empty() ? std::string() : StepFileName(options_.output, step),
          options_.dump == "-" ? options_.dump : StepFileName(options_.dump, step), step};
      if (const int status = WriteStepOutputs(options_, outputs, render, out_);
          status != kExitSuccess) {
        return status;
      }
      if (animation_) {
        VisualizerDialog& dialog = render.dialog;
        const std::string error = animation_->Add(
            dialog.DrawingArea(), options_.legend ? &dialog.LegendStrip() : nullptr);
        if (!error.empty()) {
          std::cerr << "vortana-render: " << error << '\n';
          return kExitUnusableData;
        }
      }
    } catch (const std::bad_alloc&) {
      return kExitOutOfMemory;
    }
    return kExitSuccess;
  }

  // Inside the series only: a job that ran out of memory, said once it has its turn.
  static constexpr int kExitOutOfMemory = -1;

  const RenderOptions& options_;
  const std::vector<int> steps_;
  std::ostream& out_;
  std::unique_ptr<AnimationWriter> animation_;
  Progress progress_;
  std::mutex mutex_;
  std::condition_variable turn_;
  size_t claimed_ = 0;
  size_t written_ = 0;
  bool stopped_ = false;
  int status_ = kExitSuccess;
};

}  // namespace

int RunFrames(const RenderOptions& options, std::ostream& out) {
  const FrameRange& range = *options.frames;
  const std::optional<int> steps = CountSteps(options.dataset);
  if (!steps) {
    // The data set does not load: the first frame's render says why.
    StepRender render(options.settings.drawingSize);
    return DrawStep(options, range.first, render);
  }
  if (range.last >= *steps) {
    std::cerr << "vortana-render: --frames " << range.first << ':' << range.last << ':'
              << range.stride << ": " << StepBeyondText(options.dataset, range.last, *steps)
              << '\n';
    return kExitUsage;
  }
  const std::vector<int> frameSteps = range.Steps();
  FrameSeries series(options, frameSteps, out);
  return series.Run(JobCount(options, frameSteps.size()));
}

}  // namespace vortana
