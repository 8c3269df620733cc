#pragma once

#include <deque>
#include <mutex>

namespace pv {

// The page transitions waiting to be played, one after another, by one
// worker at a time. Whether a worker plays the queue is decided under the
// same lock as the queue itself: a transition pushed while the worker finds
// the queue empty is either taken by that worker or makes Push ask for a
// new one, never left behind.
class SlideQueue {
 public:
  struct Transition {
    void* outgoing = nullptr;
    void* incoming = nullptr;
    bool forward = true;
  };

  // Appends a transition. True when no worker plays the queue: the caller
  // must then start one, which calls Next until it returns false.
  bool Push(const Transition& transition);
  // The worker's next transition. False when the queue is empty; the worker
  // is then no longer counted as playing and must end.
  bool Next(Transition& transition);
  // Whether a transition is queued or being played.
  bool Busy() const;
  // A worker that could not be started: the queue is dropped and counts as
  // idle again.
  void Abandon();

 private:
  mutable std::mutex lock_;
  std::deque<Transition> queue_;
  bool sliding_ = false;
};

}  // namespace pv
