#include "window/SlideQueue.h"

namespace pv {

bool SlideQueue::Push(const Transition& transition) {
  std::lock_guard<std::mutex> hold(lock_);
  queue_.push_back(transition);
  if (sliding_) return false;
  sliding_ = true;
  return true;
}

bool SlideQueue::Next(Transition& transition) {
  std::lock_guard<std::mutex> hold(lock_);
  if (queue_.empty()) {
    sliding_ = false;
    return false;
  }
  transition = queue_.front();
  queue_.pop_front();
  return true;
}

bool SlideQueue::Busy() const {
  std::lock_guard<std::mutex> hold(lock_);
  return sliding_;
}

void SlideQueue::Abandon() {
  std::lock_guard<std::mutex> hold(lock_);
  queue_.clear();
  sliding_ = false;
}

}  // namespace pv
