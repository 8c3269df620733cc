#include "engine/TargetWriter.h"

#include <algorithm>

#include "engine/PathText.h"
#include "engine/SetupLog.h"

namespace pv {

namespace {

// What may wait to be written, counted as the buffers' capacity (a small
// file's data sits in a whole copy buffer): a few of the extraction's copy
// buffers, and as many kept for reuse.
constexpr std::size_t kMaxQueuedBytes = 2u << 20;
constexpr std::size_t kMaxSpareBuffers = 6;
// A batch is handed over at this much data, or at this many operations
// (many small files), whichever comes first.
constexpr std::size_t kBatchBytes = 512u << 10;
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
  threaded_ = thread_.Start([this](CHThread*) { Run(); });
}

TargetWriter::~TargetWriter() {
  if (threaded_) {
    Add({Kind::kStop, {}, {}});
    Hand(true);
    thread_.Wait();
  }
}

void TargetWriter::Begin(std::wstring target) { Add({Kind::kBegin, std::move(target), {}}); }

void TargetWriter::Write(std::vector<char> data) { Add({Kind::kData, {}, std::move(data)}); }

void TargetWriter::End(bool keep) { Add({keep ? Kind::kEnd : Kind::kDiscard, {}, {}}); }

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

std::vector<char> TargetWriter::Buffer() {
  if (!threaded_) {
    if (spare_.empty()) return {};
    std::vector<char> buffer = std::move(spare_.back());
    spare_.pop_back();
    return buffer;
  }
  SrwGuard hold(lock_);
  if (spare_.empty()) return {};
  std::vector<char> buffer = std::move(spare_.back());
  spare_.pop_back();
  return buffer;
}

void TargetWriter::Add(Op op) {
  if (!threaded_) {
    Apply(op);
    if (op.kind == Kind::kData && spare_.size() < kMaxSpareBuffers) spare_.push_back(std::move(op.data));
    return;
  }
  // After a failure nothing more is written: collecting it would only wait
  // for room the writer no longer makes by writing.
  if (Failed() && op.kind != Kind::kStop) return;
  batchBytes_ += op.data.capacity();
  batch_.push_back(std::move(op));
  if (batchBytes_ >= kBatchBytes || batch_.size() >= kBatchOps) Hand(false);
}

void TargetWriter::Hand(bool force) {
  if (batch_.empty()) return;
  SrwGuard hold(lock_);
  // The batch waits while enough is queued; a forced one (the end) never
  // waits, so a stop or a drain always gets through.
  while (!force && queuedBytes_ > 0 && queuedBytes_ + batchBytes_ > kMaxQueuedBytes && !Failed()) {
    callerWaits_ = true;
    hold.Wait(room_);
  }
  callerWaits_ = false;
  queuedBytes_ += batchBytes_;
  queue_.push_back({std::move(batch_), batchBytes_});
  batch_.clear();
  batch_.reserve(kBatchOps);
  batchBytes_ = 0;
  if (writerWaits_) ::WakeConditionVariable(&ready_);
}

void TargetWriter::Run() {
  Batch work;
  std::vector<std::vector<char>> freed;
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
      Apply(op);
      if (op.kind == Kind::kData) freed.push_back(std::move(op.data));
    }
    {
      SrwGuard hold(lock_);
      queuedBytes_ -= std::min(queuedBytes_, work.bytes);
      for (auto& buffer : freed) {
        if (spare_.size() >= kMaxSpareBuffers) break;
        spare_.push_back(std::move(buffer));
      }
      busy_ = false;
      if (callerWaits_) ::WakeConditionVariable(&room_);
    }
    freed.clear();
    work.ops.clear();
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

void TargetWriter::Apply(Op& op) {
  if (skipping_) return;
  switch (op.kind) {
    case Kind::kBegin:
      target_ = std::move(op.target);
      file_.reset(open_(target_));
      if (!file_) Fail(L"creating ", ::GetLastError());
      break;
    case Kind::kData:
      if (file_ && !WriteAll(file_.get(), op.data.data(), op.data.size())) Fail(L"writing ", ::GetLastError());
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
