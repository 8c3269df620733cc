#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
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
// Work is handed over in batches. A batch owns one buffer (its arena) that
// the caller inflates into directly (Space, then Commit), so small files
// share a batch and no byte is copied or cleared on the way; the batch is
// passed on once its arena or its list of operations is full (or at Drain),
// and each side wakes the other only when that one waits. A wake is a kernel
// call on Windows and a server round trip under Wine, so the two threads
// meet a few times per megabyte rather than once per buffer and per file.
// The writer takes one batch at a time and returns its arena for reuse.
//
// The first failure (a file that cannot be created or written) is logged
// with its Win32 error, a file half written is deleted, and everything
// after it is dropped: the caller sees Failed() and stops. Drain() waits
// until all that was handed over is done; nothing of the queue runs after it
// returns, so the caller may then remove what was written.
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
  // Room for the current file's next bytes: at least kMinRoom of them at the
  // returned address, `room` in all. Commit says how many were filled.
  char* Space(std::size_t& room);
  void Commit(std::size_t count);
  // Copies `count` bytes through Space and Commit.
  void Write(const char* data, std::size_t count);
  // `keep` false: the file is closed and deleted (its data turned out bad).
  void End(bool keep);
  void Drain();
  // Whether a write failed; what the caller still hands over is dropped.
  bool Failed() const { return failed_.load(std::memory_order_acquire); }

  static constexpr std::size_t kArenaBytes = 512u << 10;
  static constexpr std::size_t kMinRoom = 64u << 10;

 private:
  enum class Kind { kBegin, kData, kEnd, kDiscard, kStop };
  struct Op {
    Kind kind;
    std::wstring target;
    std::size_t offset = 0;  // kData: where in the batch's arena
    std::size_t count = 0;
  };
  struct Batch {
    std::vector<Op> ops;
    std::unique_ptr<char[]> arena;
    std::size_t used = 0;
  };

  // The caller's side: collects, and passes a full batch on.
  void Add(Op op);
  void Hand(bool force);
  std::unique_ptr<char[]> Arena();
  void Run();
  void Apply(Op& op, const char* arena);
  void Fail(const wchar_t* what, DWORD error);

  Opener open_;
  Written written_;

  // The caller's batch, not yet handed over.
  Batch batch_;

  // Shared, under lock_.
  SrwLock lock_;
  CONDITION_VARIABLE ready_ = CONDITION_VARIABLE_INIT;  // work for the writer
  CONDITION_VARIABLE room_ = CONDITION_VARIABLE_INIT;   // room (or the end) for the caller
  std::deque<Batch> queue_;
  bool busy_ = false;  // the writer holds a batch taken from the queue
  bool writerWaits_ = false;
  bool callerWaits_ = false;
  std::vector<std::unique_ptr<char[]>> spare_;
  std::atomic<bool> failed_{false};

  // The writing thread's own state.
  pv::UniqueFile file_;
  std::wstring target_;
  bool skipping_ = false;  // after a failure: everything is dropped
  CHThread thread_;
  bool threaded_ = false;  // without a thread, ops run in the caller
};

}  // namespace pv
