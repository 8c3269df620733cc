#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace pv {

// The record "/log <file>" asks for: plain UTF-8 lines appended to the file,
// each with the local time and the thread. Lines collect in memory and go
// to the file when the run ends, when a failure is recorded and when the
// buffer grows large, so logging costs a run next to nothing. Without Open
// every call is a no-op, and a file that cannot be opened only turns the log
// off: it never stops the run. Any thread may write.
class SetupLog {
 public:
  // `path` should be absolute: the program may relaunch itself elsewhere.
  static void Open(const std::wstring& path);
  // Cheap: per-file lines test it before composing their text.
  static bool Enabled();

  static void Line(std::wstring_view text);
  // A failure with its Win32 error code and the system's text for it;
  // flushes.
  static void Failure(std::wstring_view what, DWORD error);
  // The result code of the run; flushes. The exit code the program ends with.
  static void Result(int code);
  static void Flush();

  // "2 (系统找不到指定的文件。)": the code and the system's text.
  static std::wstring ErrorText(DWORD error);
};

}  // namespace pv
