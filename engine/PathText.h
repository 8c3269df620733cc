#pragma once

#include <string>
#include <string_view>

namespace pv {

// Text operations on paths, without asking the file system: what the engine,
// the delete guard and the install page do to a path as text.

// Space, tab, CR, LF, VT and FF: what typing, pasting or a stored document
// leaves around a path.
bool IsBlank(wchar_t c);
std::wstring_view TrimBlanks(std::wstring_view text);

// "/" read as "\", as the system reads it.
std::wstring WithBackslashes(std::wstring path);

// Trailing "\" and "/" dropped, except a root's own ("C:\", "\").
std::wstring WithoutTrailingSeparators(std::wstring path);

// `name` below `folder`, with one "\" between them.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// Upper-casing of the Latin, Greek and Cyrillic letters (and the full-width
// Latin ones); other letters stay as they are, so two names that differ
// only in their case elsewhere compare as different.
wchar_t FoldCase(wchar_t c);
std::wstring FoldCase(std::wstring_view text);
bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix);

// Whether `path` lies below `folder` (not the folder itself). Both are full
// paths with backslashes, as FullPath gives them; a trailing "\" of the
// folder does not count.
bool IsInsideFolder(std::wstring_view path, std::wstring_view folder);

}  // namespace pv
