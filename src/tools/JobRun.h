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

enum RunStateValue : int { Stopped = 0, Paused = 1, Running = 4 };

enum class JobOutcome {
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
  std::atomic<int> RunState{Stopped};
  // Started from the command line with "-e exit": the job ends without its
  // finished message.
  virtual void SetExitWhenDone(bool exitWhenDone) = 0;
  std::atomic<int64_t> CurrentFrame{0};

  // Running <-> Paused; a job that is not running stays as it is.
  void Pause() {
    int expected = Running;
    if (RunState.compare_exchange_strong(expected, Paused)) return;
    expected = Paused;
    RunState.compare_exchange_strong(expected, Running);
  }
  // The worker ends the job at its next turn.
  void Stop() { RunState = Stopped; }

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

  enum class FrameStep { Next, Last };
  // The frame loop of every job: `step(n)` for n = CurrentFrame .. last while
  // running; while paused it polls every 3 ms; Stop, the end of the range or a
  // step that returns Last ends it. CurrentFrame is the frame being worked on.
  template <typename Step>
  void ForEachFrame(int64_t last, Step step) {
    while (CurrentFrame.load() <= last) {
      const int state = RunState.load();
      if (state == Paused) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        continue;
      }
      if (state != Running) break;
      if (step(CurrentFrame.load()) == FrameStep::Last) break;
      ++CurrentFrame;
    }
  }
};

}  // namespace vx
