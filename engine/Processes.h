#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/Handles.h"

namespace pv {

// Looks for another running program that holds the file. When a process's
// executable name equals the file's name, `user` is `path` itself; when a
// process has the file loaded as a module, `user` is that process's
// executable name. The calling process is not considered: it cannot end
// itself, and reporting it would only end its namesakes.
bool FindFileUser(const std::wstring& path, std::wstring& user);

// FindFileUser's answer at a fraction of its cost when nobody holds the
// file: the module search takes a round trip to the server per module
// under Wine (about a tenth of a second per file with a dozen programs
// running), and a file no process holds can only be matched by name.
// With `running` (RunningProgramNames taken earlier), a file nobody holds is
// matched against that list instead of a new one: a removal asks once, not
// once per program file. A held file always gets the full search.
bool FindHolder(const std::wstring& path, std::wstring& user,
                const std::optional<std::vector<std::wstring>>* running = nullptr);

// The executable names of the other running processes; empty when the
// system's process list cannot be had.
std::optional<std::vector<std::wstring>> RunningProgramNames();

// Whether a program named like the file part of `path` runs, by `running`
// (RunningProgramNames), or by a new look when that list could not be had.
bool ProgramNamedRuns(const std::optional<std::vector<std::wstring>>& running, const std::wstring& path);

// Ends every other process whose executable name equals the file name part
// of `path` (case-insensitive), without waiting for them to go. The calling
// process is never ended. Returns how many were told to end.
int KillProcessesByName(const std::wstring& path);

// Ends running copies of the product's main program, then gives them 500 ms.
void StopProduct();

// Starts `commandLine` as the whole command line of a new process.
bool StartProcess(const std::wstring& commandLine, UniqueProcessInformation& started);

// Waits for the process to end while dispatching the messages of
// `mainWindow`, so the window keeps painting and its timers run; a WM_QUIT
// of the thread is left for the caller's loop. With no window every message
// of the thread is dispatched, and a WM_QUIT ends the wait (posted again for
// the caller). True when the process ended; false when the wait failed or
// was ended by WM_QUIT.
bool PumpUntilProcessExits(HANDLE process, HWND mainWindow);

}  // namespace pv
