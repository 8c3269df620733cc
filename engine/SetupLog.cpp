#include "engine/SetupLog.h"

#include <atomic>
#include <cstdio>

#include "engine/FilePaths.h"
#include "engine/PathText.h"
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
  // A line written after the result (the last messages of the loop) still
  // reaches the file when the program ends normally.
  ~State() {
    DWORD written = 0;
    if (file && !buffer.empty())
      ::WriteFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &written, nullptr);
  }
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

bool SetupLog::Open(const std::wstring& path) {
  State& s = state();
  Lock lock(s.lock);
  s.file.reset();
  s.enabled = false;
  // Appending: a relaunched copy of the program writes on after its parent.
  // An existing file is opened as itself (a link there is not followed);
  // a missing one is made new, which fails on any name there, a link to
  // nowhere included.
  constexpr DWORD kAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
  UniqueFile file(::CreateFileW(path.c_str(), kAccess, kShare, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file && ::GetLastError() == ERROR_FILE_NOT_FOUND)
    file.reset(::CreateFileW(path.c_str(), kAccess, kShare, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const std::size_t cut = path.find_last_of(L'\\');
  const std::wstring folderFinal = cut == std::wstring::npos ? std::wstring() : OpenedPathOf(path.substr(0, cut + 1));
  const std::wstring leaf = FileNamePart(LongPath(path));
  EntryFacts facts;
  if (!QueryEntry(file.get(), facts) ||
      (facts.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) || facts.links != 1 ||
      folderFinal.empty() || !IsEntryAt(file.get(), JoinPath(folderFinal, leaf))) {
    file.reset();
    ::SetLastError(kErrorStoppedOnLink);
    return false;
  }
  s.file = std::move(file);
  s.enabled = true;
  return true;
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

void SetupLog::Crashed(DWORD exceptionCode, const void* address) {
  State& s = state();
  if (!s.enabled) return;
  // The crashing thread may hold the lock itself (it is re-entrant then);
  // another thread holding it is given a moment, not an endless wait.
  bool locked = false;
  for (int attempt = 0; attempt < 50 && !(locked = ::TryEnterCriticalSection(s.lock.native())); ++attempt) ::Sleep(2);
  if (!locked) return;
  char text[96];
  std::snprintf(text, sizeof text, "FAILED: the program crashed: exception 0x%08lX at %p",
                static_cast<unsigned long>(exceptionCode), address);
  Append(s, ToWide(text));
  WriteOut(s);
  s.lock.Leave();
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
