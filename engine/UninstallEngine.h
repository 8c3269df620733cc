#pragma once

#include <atomic>
#include <string>

#include "engine/SetupSession.h"
#include "json/JValue.h"

namespace pv {

// Removes the installation described by the uninstall document of
// `uninstallerPath` (the running program when empty): clean-up programs,
// links, running product programs, files and folders, registration.
//
// In uninstall mode it runs on the window's thread, shows its steps, moves
// the bar and posts WM_SETUP_FINISHED; called by an install for the previous
// version (installMode set) it does none of that, nor the maker's key or the
// clean-up programs. False when the document cannot be read or names no
// usable root; nothing has been removed then.
bool Uninstall(SetupSession& session, const std::wstring& uninstallerPath);

// Deletes the document's files (ending programs that hold an .exe or .dll),
// the uninstaller, the folders, and the root when it is empty. Only paths
// inside `root` are touched. A set `*stop` (looked at before each file
// and folder) ends the deletion where it is.
void RemoveFiles(const JValue* document, std::wstring root, const std::atomic<bool>* stop = nullptr);

}  // namespace pv
