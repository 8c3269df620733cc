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
// clean-up programs.
enum class RemovalResult {
  kRemoved,  // done: files, folders and registration are gone
  kRefused,  // the document cannot be read or names no usable root: nothing was removed
  kStopped,  // the window went away during the deletion: the registration and the uninstaller stay
};
RemovalResult Uninstall(SetupSession& session, const std::wstring& uninstallerPath);

// Deletes the document's files (ending programs that hold an .exe or .dll),
// the folders, the uninstaller, and the root when it is listed or empty,
// in that order. Only what lies inside `root` is touched, and nothing
// through a link: the root (and the folder holding it) must not be links,
// and each file and folder is deleted only when its own handle shows it at
// its place below the root; a link met there is removed as a link, never
// followed (or left, where the system cannot remove it without reaching its
// target). A set `*stop` (looked at before each file and folder) ends the
// deletion where it is. True when the deletion ran to its end.
bool RemoveFiles(const JValue* document, std::wstring root, const std::atomic<bool>* stop = nullptr);

}  // namespace pv
