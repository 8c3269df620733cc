#pragma once

#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

namespace pv {

// SHGetSpecialFolderPathW for a CSIDL_ value; `create` lets the shell make a
// missing folder (the data folders need that). Empty text on failure.
std::wstring SpecialFolder(int csidl, bool create = false);
// SHGetKnownFolderPath without creating; empty text on failure.
std::wstring KnownFolderPath(REFKNOWNFOLDERID id);
// GetWindowsDirectoryW; empty text on failure.
std::wstring WindowsFolder();

// Every folder a recursive delete must leave alone: the Windows, system,
// Program Files (both views), ProgramData, Users, profile, desktop,
// documents, downloads, application data, Start menu, Public and temporary
// folders and their like, each also as its long and its final (link-free)
// path. Collected once per process.
const std::vector<std::wstring>& ProtectedShellFolders();

}  // namespace pv
