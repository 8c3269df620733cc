#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ui/CHThread.h"
#include "ui/Handles.h"

namespace pv {

// Creates, writes and closes the extraction's files on a thread of its own,
// in the order they are handed over, so that inflating the next entry and
// the file system's work on the last one overlap. What waits to be written
// is bounded; a caller that gets ahead waits.
//
// The first failure (a file that cannot be created or written) is logged
// with its Win32 error, a file half written is deleted, and everything
// after it is dropped: the caller sees Failed() and stops. Drain() waits until all that
// was handed over is done; nothing of the queue runs after it returns, so
// the caller may then remove what was written.
class TargetWriter {
 public:
  // Opens a target for writing (GENERIC_WRITE), or INVALID_HANDLE_VALUE.
  using Opener = std::function<HANDLE(const std::wstring& target)>;
  // Runs on the writing thread after each file is closed whole.
  using Written = std::function<void(const std::wstring& target)>;

  TargetWriter(Opener open, Written written);
  TargetWriter(const TargetWriter&) = delete;
  TargetWriter& operator=(const TargetWriter&) = delete;
  // Drains and ends the thread.
  ~TargetWriter();

  void Begin(std::wstring target);
  void Write(std::vector<char> data);
  // `keep` false: the file is closed and deleted (its data turned out bad).
  void End(bool keep);
  void Drain();
  bool Failed();

  // A buffer for Write, recycled from written ones where there is one.
  std::vector<char> Buffer();

 private:
  enum class Kind { kBegin, kData, kEnd, kDiscard, kStop };
  struct Op {
    Kind kind;
    std::wstring target;
    std::vector<char> data;
  };

  void Push(Op op);
  void Run();
  void Apply(Op& op);
  void Fail(const wchar_t* what, DWORD error);

  Opener open_;
  Written written_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Op> queue_;
  std::size_t queuedBytes_ = 0;
  bool busy_ = false;  // the thread holds an op taken from the queue
  bool failed_ = false;
  std::vector<std::vector<char>> spare_;
  // The writing thread's own state.
  pv::UniqueFile file_;
  std::wstring target_;
  bool skipping_ = false;  // after a failure: everything is dropped
  CHThread thread_;
  bool threaded_ = false;  // without a thread, ops run in the caller
};

}  // namespace pv
