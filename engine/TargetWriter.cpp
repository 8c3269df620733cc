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
constexpr std::size_t kMaxSpareBuffers = 4;

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
    Push({Kind::kStop, {}, {}});
    thread_.Wait();
  }
}

void TargetWriter::Begin(std::wstring target) { Push({Kind::kBegin, std::move(target), {}}); }

void TargetWriter::Write(std::vector<char> data) { Push({Kind::kData, {}, std::move(data)}); }

void TargetWriter::End(bool keep) { Push({keep ? Kind::kEnd : Kind::kDiscard, {}, {}}); }

void TargetWriter::Drain() {
  if (!threaded_) return;
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [this] { return queue_.empty() && !busy_; });
}

bool TargetWriter::Failed() {
  std::lock_guard<std::mutex> hold(lock_);
  return failed_;
}

std::vector<char> TargetWriter::Buffer() {
  std::lock_guard<std::mutex> hold(lock_);
  if (spare_.empty()) return {};
  std::vector<char> buffer = std::move(spare_.back());
  spare_.pop_back();
  return buffer;
}

void TargetWriter::Push(Op op) {
  if (!threaded_) {
    Apply(op);
    if (op.kind == Kind::kData && spare_.size() < kMaxSpareBuffers) spare_.push_back(std::move(op.data));
    return;
  }
  std::unique_lock<std::mutex> hold(lock_);
  // Data waits while enough is queued; the rest never waits, so a stop or
  // an end always gets through.
  if (op.kind == Kind::kData) {
    changed_.wait(hold, [this] { return queuedBytes_ < kMaxQueuedBytes || queue_.empty(); });
    queuedBytes_ += op.data.capacity();
  }
  queue_.push_back(std::move(op));
  changed_.notify_all();
}

void TargetWriter::Run() {
  for (;;) {
    Op op;
    {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [this] { return !queue_.empty(); });
      op = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
    }
    if (op.kind == Kind::kStop) {
      std::lock_guard<std::mutex> hold(lock_);
      busy_ = false;
      changed_.notify_all();
      return;
    }
    Apply(op);
    std::lock_guard<std::mutex> hold(lock_);
    if (op.kind == Kind::kData) {
      queuedBytes_ -= op.data.capacity();
      if (spare_.size() < kMaxSpareBuffers) spare_.push_back(std::move(op.data));
    }
    busy_ = false;
    changed_.notify_all();
  }
}

void TargetWriter::Fail(const wchar_t* what, DWORD error) {
  pv::SetupLog::Failure(std::wstring(what) + pv::WithBackslashes(target_), error);
  // Nothing half-written stays behind; a file that could not be opened is
  // not ours to delete.
  if (file_) {
    file_.reset();
    ::DeleteFileW(target_.c_str());
  }
  skipping_ = true;
  std::lock_guard<std::mutex> hold(lock_);
  failed_ = true;
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
      file_.reset();
      if (op.kind == Kind::kDiscard) {
        ::DeleteFileW(target_.c_str());
      } else if (written_) {
        written_(target_);
      }
      break;
    case Kind::kStop:
      break;
  }
}

}  // namespace pv
