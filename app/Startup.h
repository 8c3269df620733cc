#pragma once

namespace pv {

class CLMainBox;

// The start-up sequence, run while the main window is being created. Fatal
// conditions end the process here (exit code 0).
//
// Elevation relaunch, the package's configuration and run mode, the
// uninstaller's move to the temporary folder, and the command line.
void RunStartupChecks(CLMainBox& box);
// The install folder: "/D", the previous installation, or the default drive.
void ChooseInstallFolder(CLMainBox& box);
// A quiet run: the whole work of the run mode, then the quit message with
// the run's result as exit code.
void RunQuietMode(CLMainBox& box);

// Whether the command line asks for a quiet run.
bool QuietRequested();

}  // namespace pv
