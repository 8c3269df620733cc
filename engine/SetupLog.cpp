#include "engine/SetupLog.h"

#include <atomic>
#include <cstdio>

#include "ui/Handles.h"
#include "ui/StringConverter.h"

namespace pv {

namespace {

// Enough for a removal of many thousand files between two writes.
constexpr std::size_t kFlushAt = 256 * 1024;

struct State {
  CriticalSection lock;
  UniqueFile file;
  std::string buffer;
  std::atomic<bool> enabled{false};
};

State& state() {
  static State s;
  return s;
}

void WriteOut(State& s) {
  if (!s.file || s.buffer.empty()) return;
  DWORD written = 0;
  ::WriteFile(s.file.get(), s.buffer.data(), static_cast<DWORD>(s.buffer.size()), &written, nullptr);
  s.buffer.clear();
}

void Append(State& s, std::wstring_view text) {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, ::GetCurrentThreadId());
  s.buffer += stamp;
  s.buffer += ToNarrow(text);
  s.buffer += "\r\n";
}

}  // namespace

void SetupLog::Open(const std::wstring& path) {
  State& s = state();
  Lock lock(s.lock);
  // Appending: a relaunched copy of the program writes on after its parent.
  s.file.reset(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  s.enabled = static_cast<bool>(s.file);
}

bool SetupLog::Enabled() { return state().enabled.load(std::memory_order_relaxed); }

void SetupLog::Line(std::wstring_view text) {
  State& s = state();
  Lock lock(s.lock);
  if (!s.enabled) return;
  Append(s, text);
  if (s.buffer.size() >= kFlushAt) WriteOut(s);
}

void SetupLog::Failure(std::wstring_view what, DWORD error) {
  State& s = state();
  Lock lock(s.lock);
  if (!s.enabled) return;
  Append(s, L"FAILED: " + std::wstring(what) + L": error " + ErrorText(error));
  WriteOut(s);
}

void SetupLog::Result(int code) {
  State& s = state();
  Lock lock(s.lock);
  if (!s.enabled) return;
  Append(s, L"result code " + std::to_wstring(code));
  WriteOut(s);
}

void SetupLog::Flush() {
  State& s = state();
  Lock lock(s.lock);
  WriteOut(s);
}

std::wstring SetupLog::ErrorText(DWORD error) {
  wchar_t* raw = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
  UniqueLocal owner(raw);
  std::wstring text(raw ? raw : L"", length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return std::to_wstring(error) + (text.empty() ? L"" : L" (" + text + L")");
}

}  // namespace pv
