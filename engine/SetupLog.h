#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace pv {

// The record "/log <file>" asks for: plain UTF-8 lines appended to the file,
// each with the local time and the thread. Lines collect in memory and go
// to the file when the run ends, when a failure is recorded, when the
// buffer grows large and when the program crashes, so logging costs a run
// next to nothing. Without Open every call is a no-op. Any thread may write.
class SetupLog {
 public:
  // `path` should be absolute: the program may relaunch itself elsewhere.
  // The file is appended to, and opened as itself: a link, a folder or a
  // file with a second name (a hard link), or one reached through a link in
  // its own folder, is refused (false, kErrorStoppedOnLink), since the
  // elevated run would otherwise append to whatever file another user
  // pointed the name at. False with the Win32 error when it cannot be
  // opened; the log then stays off.
  static bool Open(const std::wstring& path);
  // Cheap: per-file lines test it before composing their text.
  static bool Enabled();

  static void Line(std::wstring_view text);
  // A failure with its Win32 error code and the system's text for it;
  // flushes.
  static void Failure(std::wstring_view what, DWORD error);
  // The result code of the run; flushes. The exit code the program ends with.
  static void Result(int code);
  static void Flush();
  // From an unhandled-exception filter: records the crash and writes what
  // is buffered, without waiting for a lock another thread may hold.
  static void Crashed(DWORD exceptionCode, const void* address);

  // "2 (系统找不到指定的文件。)": the code and the system's text.
  static std::wstring ErrorText(DWORD error);
};

}  // namespace pv
