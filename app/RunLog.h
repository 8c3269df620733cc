#pragma once

#include <string>

namespace pv {

// The exit code of a run whose "/log" file cannot be opened: nothing of the
// run was done (the code Windows Installer gives the same failure).
inline constexpr int kLogOpenFailed = 1622;

// Opens the log "/log <file>" asks for, before anything else of the run,
// and writes its head: the program's and the system's versions, the command
// line. The file's path is made absolute against the current folder, so a
// relaunched copy of the program (elevated, or the uninstaller's copy in
// the temporary folder) appends to the same file; its missing folders are
// created. A log asked for that still cannot be opened (or that is a link,
// see SetupLog::Open) ends the process with kLogOpenFailed before anything
// is touched, after a message box unless the run is quiet. From then on an
// unhandled exception writes what the log holds before the program ends.
void OpenRunLog();

// The absolute path of the log file, or "" without "/log"; for relaunches.
const std::wstring& RunLogPath();

}  // namespace pv
