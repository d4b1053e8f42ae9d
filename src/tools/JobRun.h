#pragma once

// What every job that a window runs on a worker shares: the run state that the
// window's Pause and Stop change, the frame loop that obeys it, how a job ended,
// and the channel its messages take.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <thread>

namespace vx {

// What the window's Start, Pause and Stop have set; the worker obeys it at each
// frame. One byte, so that the atomic holding it is lock-free everywhere.
enum class JobState : uint8_t { Stopped, Paused, Running };

enum class JobOutcome : uint8_t {
  Completed,      // ran to its end (end of range, end of input, or stopped by the user)
  FailedStopped,  // refused; Stop ran, buttons reset
  FailedRunning,  // refused after the job began; the window stays in its running state
};

// What a window hears from its job (on the worker's thread: windows post it on).
class JobObserver {
 public:
  virtual ~JobObserver() = default;
  // The Stop operation: buttons back to their idle state.
  virtual void Stopped() {}
  // The job's messages; they reach the program's one message sink.
  virtual void Message(std::string_view text);
};

// What a job says when an exception ended it.
inline std::string JobStoppedText(std::string_view reason) {
  return "Error VLTX1030: The job stopped: " + std::string(reason) + "\n";
}

class JobRun {
 public:
  virtual ~JobRun() = default;
  std::atomic<JobState> RunState{JobState::Stopped};
  // Started from the command line with "-e exit": the job ends without its
  // finished message.
  virtual void SetExitWhenDone(bool exitWhenDone) = 0;
  std::atomic<int64_t> CurrentFrame{0};

  // Running <-> Paused; a job that is not running stays as it is.
  void Pause() {
    JobState expected = JobState::Running;
    if (RunState.compare_exchange_strong(expected, JobState::Paused)) return;
    expected = JobState::Paused;
    RunState.compare_exchange_strong(expected, JobState::Running);
  }
  // The worker ends the job at its next turn.
  void Stop() { RunState = JobState::Stopped; }

 protected:
  // Runs `body` (returning a JobOutcome) so that no exception leaves the job's
  // thread: one that escapes it ends the job as FailedRunning after
  // `stopped(reason)` ("out of memory" for std::bad_alloc, what() for other
  // standard exceptions), which cleans up, reports and must not throw.
  template <typename Body, typename Stopped>
  static JobOutcome RunGuarded(Body body, Stopped stopped) {
    try {
      return body();
    } catch (const std::bad_alloc&) {
      stopped("out of memory");
    } catch (const std::exception& e) {
      stopped(e.what());
    } catch (...) {
      stopped("unknown error");
    }
    return JobOutcome::FailedRunning;
  }

  enum class FrameStep : uint8_t { Next, Last };
  // The frame loop of every job: `step(n)` for n = CurrentFrame .. last while
  // running; while paused it polls every 3 ms; Stop, the end of the range or a
  // step that returns Last ends it. CurrentFrame is the frame being worked on.
  template <typename Step>
  void ForEachFrame(int64_t last, Step step) {
    while (CurrentFrame.load() <= last) {
      const JobState state = RunState.load();
      if (state == JobState::Paused) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        continue;
      }
      if (state != JobState::Running) break;
      if (step(CurrentFrame.load()) == FrameStep::Last) break;
      ++CurrentFrame;
    }
  }
};

}  // namespace vx
