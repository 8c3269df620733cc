#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/Handles.h"

namespace pv {

// Path lookups shared by the file operations, the delete guard and the
// process search. Each returns an empty text on failure.

// GetFullPathNameW: absolute, "/" turned into "\", "." and ".." resolved.
std::wstring FullPath(const std::wstring& path);
// GetLongPathNameW: short (8.3) elements expanded; the path itself when the
// file does not exist.
std::wstring LongPath(const std::wstring& path);
// GetFinalPathNameByHandleW (DOS volume names, "\\?\C:\..."): the path the
// handle really refers to, every link on the way resolved.
std::wstring FinalPath(HANDLE file);
// The final path of a file or folder, opened without being changed.
std::wstring FinalPathOf(const std::wstring& path);
// The kernel's name of the open file or folder ("\Device\HarddiskVolume3\..."
// on Windows, "\??\C:\..." under Wine): as FinalPath, every link on the way
// resolved, but without the volume's DOS name being looked up, which costs
// several calls (under Wine a request to the mount manager's process) per
// query. Names from it compare only with names from it.
std::wstring OpenedPath(HANDLE file);
std::wstring OpenedPathOf(const std::wstring& path);

// ERROR_STOPPED_ON_SYMLINK, which the toolchain's headers lack: the last
// error of a refusal because a link was met.
inline constexpr DWORD kErrorStoppedOnLink = 681;

// Opens the entry at `path` itself, file or folder: where the system marks
// links (junctions, symbolic links), the link is opened, never its target.
UniqueFile OpenEntry(const std::wstring& path, DWORD access, DWORD share);
// Whether the open entry is the one `expected` names (a name as OpenedPath
// gives it, compared without regard to case), reached without a link on the
// way. Wine opens the target of a host link even when asked not
// to and does not mark it: only the final path tells.
bool IsEntryAt(HANDLE entry, std::wstring_view expected);
// What an open entry is, asked of the entry alone: GetFileInformationByHandle
// also looks up the volume's serial number, under Wine a request to the
// mount manager's process each time.
struct EntryFacts {
  DWORD attributes = 0;
  DWORD links = 0;  // names of the file (hard links)
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};
bool QueryEntry(HANDLE entry, EntryFacts& facts);
// Whether the open entry is a reparse point (a link on Windows).
bool IsReparsePoint(HANDLE entry);
// Opens the folder `base`\`relative` (relative may hold several levels)
// when it is a folder and no level of `relative` is a link: its name
// (OpenedPath) is the name of `base` followed by `relative`. `final`
// receives that name, for the names of what lies below. Empty when the folder is missing, is no folder or is reached
// through a link.
UniqueFile OpenFolderBelow(const std::wstring& base, std::wstring_view relative, DWORD access, DWORD share,
                           std::wstring& final);

// The folder at `full` (an absolute path) opened as in OpenFolderBelow,
// with its own level and the one above it checked: the product's folder and
// its maker's folder, which whoever made the parent folder may have made
// too. What lies above is taken as the system gives it.
UniqueFile OpenProductFolder(const std::wstring& full, DWORD access, DWORD share, std::wstring& final);

// The file name part: the text after the last "\", "/" or ":".
std::wstring FileNamePart(std::wstring_view path);
// Case-insensitive comparison as the file system makes it (ordinal, upper-cased).
bool SamePathText(std::wstring_view a, std::wstring_view b);

// Whether something (a file, a folder, a link) is at `path`.
bool PathExists(const std::wstring& path);
// Whether a folder, or a link to one, is at `path`.
bool IsFolder(const std::wstring& path);
// Whether `path` lies below `root`, both made absolute first.
bool PathInside(const std::wstring& path, const std::wstring& root);

}  // namespace pv
