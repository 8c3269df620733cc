#pragma once

#include <string>

namespace pv {

// Starting programs and opening documents as the user of the desktop rather
// than with this (elevated) process's token: the request goes to the shell
// that runs the logged-on desktop, which starts it with its own token. An
// elevated program's children would otherwise run as administrator: without
// the user's mapped drives, with drag and drop from the desktop blocked,
// their files owned by the administrator, and as another account altogether
// when a standard user elevated with someone else's credentials.
class DesktopShell {
 public:
  enum class Route { kDesktop, kDirect, kFailed };

  // Opens `file` with the verb "open" and `parameters` (empty: none) in the
  // normal show state through the desktop's shell; where there is none (no
  // shell running, or one without that interface, as under Wine) through
  // ShellExecuteW of this process as before. Says which way it went.
  static Route Open(const std::wstring& file, const std::wstring& parameters);

  // The first way alone: false when the desktop's shell cannot be reached or
  // refuses the request.
  static bool OpenThroughDesktop(const std::wstring& file, const std::wstring& parameters);
  // The second way alone.
  static bool OpenDirectly(const std::wstring& file, const std::wstring& parameters);
};

}  // namespace pv
