#include "engine/TargetWriter.h"

#include <algorithm>

#include "engine/PathText.h"
#include "engine/SetupLog.h"

namespace pv {

namespace {

// Batches that may wait to be written (each one arena), and arenas kept
// for reuse: with the caller's and the writer's own, at most about 4 MiB.
constexpr std::size_t kMaxQueuedBatches = 4;
constexpr std::size_t kMaxSpareArenas = 3;
// A batch is also handed over at this many operations (many small files).
constexpr std::size_t kBatchOps = 96;

// Deletes the file the writer made, by its handle where that has the right
// (the name may no longer lead to it once closed), else by its name.
void DeleteWritten(pv::UniqueFile& file, const std::wstring& target) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  const bool marked =
      ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
  file.reset();
  if (!marked) ::DeleteFileW(target.c_str());
}

bool WriteAll(HANDLE file, const char* data, std::size_t count) {
  while (count > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    DWORD wrote = 0;
    if (!::WriteFile(file, data, piece, &wrote, nullptr) || wrote == 0) return false;
    data += wrote;
    count -= wrote;
  }
  return true;
}

}  // namespace

TargetWriter::TargetWriter(Opener open, Written written) : open_(std::move(open)), written_(std::move(written)) {
  batch_.ops.reserve(kBatchOps);
  threaded_ = thread_.Start([this](CHThread*) { Run(); });
}

TargetWriter::~TargetWriter() {
  if (threaded_) {
    Add({Kind::kStop, {}});
    Hand(true);
    thread_.Wait();
  }
}

void TargetWriter::Begin(std::wstring target) { Add({Kind::kBegin, std::move(target)}); }

void TargetWriter::End(bool keep) { Add({keep ? Kind::kEnd : Kind::kDiscard, {}}); }

// Arenas are allocated uninitialised (new char[] clears nothing) and reused:
// a buffer cleared or freshly mapped per file costs more than inflating
// into it.
std::unique_ptr<char[]> TargetWriter::Arena() {
  if (threaded_) {
    SrwGuard hold(lock_);
    if (!spare_.empty()) {
      auto arena = std::move(spare_.back());
      spare_.pop_back();
      return arena;
    }
  }
  return std::unique_ptr<char[]>(new char[kArenaBytes]);
}

char* TargetWriter::Space(std::size_t& room) {
  if (batch_.arena && kArenaBytes - batch_.used < kMinRoom) Hand(false);
  if (!batch_.arena) {
    batch_.arena = Arena();
    batch_.used = 0;
  }
  room = kArenaBytes - batch_.used;
  return batch_.arena.get() + batch_.used;
}

void TargetWriter::Commit(std::size_t count) {
  if (count == 0) return;
  Add({Kind::kData, {}, batch_.used, count});
  // Without a thread the data was written at once: the arena is free again.
  if (threaded_) batch_.used += count;
}

void TargetWriter::Write(const char* data, std::size_t count) {
  while (count > 0) {
    std::size_t room = 0;
    char* at = Space(room);
    const std::size_t piece = std::min(room, count);
    std::copy(data, data + piece, at);
    Commit(piece);
    data += piece;
    count -= piece;
  }
}

void TargetWriter::Drain() {
  if (!threaded_) return;
  Hand(true);
  SrwGuard hold(lock_);
  while (!queue_.empty() || busy_) {
    callerWaits_ = true;
    hold.Wait(room_);
  }
  callerWaits_ = false;
}

void TargetWriter::Add(Op op) {
  if (!threaded_) {
    Apply(op, batch_.arena.get());
    return;
  }
  // After a failure nothing more is written: collecting it would only wait
  // for room the writer no longer makes by writing.
  if (Failed() && op.kind != Kind::kStop) return;
  batch_.ops.push_back(std::move(op));
  if (batch_.ops.size() >= kBatchOps) Hand(false);
}

void TargetWriter::Hand(bool force) {
  if (batch_.ops.empty()) {
    batch_.used = 0;  // what was committed was dropped after a failure
    return;
  }
  SrwGuard hold(lock_);
  // The batch waits while enough is queued; a forced one (the end) never
  // waits, so a stop or a drain always gets through.
  while (!force && queue_.size() >= kMaxQueuedBatches && !Failed()) {
    callerWaits_ = true;
    hold.Wait(room_);
  }
  callerWaits_ = false;
  queue_.push_back(std::move(batch_));
  batch_ = {};
  batch_.ops.reserve(kBatchOps);
  if (writerWaits_) ::WakeConditionVariable(&ready_);
}

void TargetWriter::Run() {
  Batch work;
  for (;;) {
    {
      SrwGuard hold(lock_);
      while (queue_.empty()) {
        writerWaits_ = true;
        hold.Wait(ready_);
      }
      writerWaits_ = false;
      work = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
    }
    bool stop = false;
    for (Op& op : work.ops) {
      if (op.kind == Kind::kStop) {
        stop = true;
        break;
      }
      Apply(op, work.arena.get());
    }
    {
      SrwGuard hold(lock_);
      if (work.arena && spare_.size() < kMaxSpareArenas) spare_.push_back(std::move(work.arena));
      busy_ = false;
      if (callerWaits_) ::WakeConditionVariable(&room_);
    }
    work = {};
    if (stop) return;
  }
}

void TargetWriter::Fail(const wchar_t* what, DWORD error) {
  pv::SetupLog::Failure(std::wstring(what) + pv::WithBackslashes(target_), error);
  // Nothing half-written stays behind; a file that could not be opened is
  // not ours to delete.
  if (file_) DeleteWritten(file_, target_);
  skipping_ = true;
  failed_.store(true, std::memory_order_release);
}

void TargetWriter::Apply(Op& op, const char* arena) {
  if (skipping_) return;
  switch (op.kind) {
    case Kind::kBegin:
      target_ = std::move(op.target);
      file_.reset(open_(target_));
      if (!file_) Fail(L"creating ", ::GetLastError());
      break;
    case Kind::kData:
      if (file_ && !WriteAll(file_.get(), arena + op.offset, op.count)) Fail(L"writing ", ::GetLastError());
      break;
    case Kind::kEnd:
    case Kind::kDiscard:
      if (!file_) break;
      if (op.kind == Kind::kDiscard) {
        DeleteWritten(file_, target_);
        break;
      }
      file_.reset();
      if (written_) written_(target_);
      break;
    case Kind::kStop:
      break;
  }
}

}  // namespace pv
