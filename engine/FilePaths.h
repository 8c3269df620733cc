#pragma once

#include <windows.h>

#include <string>
#include <string_view>

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
