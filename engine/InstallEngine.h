#pragma once

#include <string>

#include "app/EngineResult.h"
#include "engine/SetupSession.h"

namespace pv {

// Starts the work of the run: the install on the session's worker thread
// (waited for in a quiet run), or the removal on the calling thread, which
// ends the process with exit code 1 when the removal cannot start.
void StartSetup(SetupSession& session);

// The worker's body: runs Install and tells the window when it failed.
void InstallWorker(SetupSession& session);

// Installs the product carried by the running program into
// session.installDir; posts WM_SETUP_FINISHED itself on success.
EngineResult Install(SetupSession& session);

// The registered version of the product when it is newer than this
// program's (installing would go back to an older one); empty otherwise,
// and for a registration without a version (an older build of ours).
std::wstring NewerVersionInstalled();

// Starts the "instrun" command lines of the install.
void RunInstRun(const SetupSession& session);

// Starts the installed program from the done page. A "lastrun" of the form
// "program /args" runs the quoted program with " /args" as parameters.
void LaunchProduct(const std::wstring& lastRunPath);

// Starts each element of a list of command lines relative to `installDir`
// ("%s\%s"), one after another, without waiting. Not a list: nothing.
void StartCommandLines(const std::wstring& installDir, const JValue& list);

}  // namespace pv
