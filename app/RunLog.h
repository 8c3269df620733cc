#pragma once

#include <string>

namespace pv {

// Opens the log "/log <file>" asks for, before anything else of the run,
// and writes its head: the program's and the system's versions, the command
// line. The file's path is made absolute against the current folder, so a
// relaunched copy of the program (elevated, or the uninstaller's copy in
// the temporary folder) appends to the same file.
void OpenRunLog();

// The absolute path of the log file, or "" without "/log"; for relaunches.
const std::wstring& RunLogPath();

}  // namespace pv
