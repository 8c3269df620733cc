#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ui/Handles.h"

namespace pv {

// Whole-file and whole-path operations of the engines. None of them shows
// anything; each reports success as a boolean or returns an empty text.

// Reads the whole file (shared for reading) into `bytes`. False, with
// `bytes` empty, when the file cannot be opened or a read fails.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes);
// Creates or truncates the file and writes all bytes. False when the file
// cannot be created or a write fails; a file that could not be written
// whole is removed again rather than left half written.
bool WriteWholeFile(const std::wstring& path, std::span<const std::uint8_t> bytes);
// As WriteWholeFile, with the min(count, size - start) bytes from `start`
// (none when `start` lies at or past the end).
bool WriteFileRange(const std::wstring& path, std::size_t start, std::size_t count,
                    std::span<const std::uint8_t> bytes);

// Deletes a file, or a folder with everything in it. False when the path does
// not exist, has 3 characters or fewer once blanks are trimmed ("C:\", "",
// "C:" which names a drive's current folder), is a folder or link refused by
// IsProtectedFolder (a plain file is never a protected folder), or something
// stayed behind. Links (symbolic links,
// junctions) are never followed: a link is removed itself and its target
// stays untouched; where the system cannot remove a link without reaching
// its target (Wine's Unix links) the link is left and the result is false.
bool DeletePath(const std::wstring& path);
// The same for a folder and its contents (the name the removal engines use).
bool DeleteTree(const std::wstring& path);
// As DeleteTree, and only when the entry opened at `path` is the one
// `expectedFinal` names (a final path): nothing reached through a link
// above it is touched.
bool DeleteTree(const std::wstring& path, std::wstring_view expectedFinal);
// Deletes the file, or the link, at `path` when the entry opened there is
// the one `expectedFinal` names: a link goes itself and its target stays; a
// file reached through a link (or, under Wine, a host link, which the
// system opens as its target) is left. False with the Win32 error when
// nothing was deleted: kErrorStoppedOnLink for a link met, ERROR_FILE_NOT_FOUND
// when nothing is there, ERROR_DIRECTORY for a folder. `exclusive` opens it
// for writing and unshared, as a proof that no program holds or runs it: a
// program file can then be deleted without asking who uses it (the open
// fails, with ERROR_SHARING_VIOLATION or ERROR_ACCESS_DENIED, when somebody
// does, or the file is read-only).
bool DeleteFileAt(const std::wstring& path, std::wstring_view expectedFinal, bool exclusive = false);
// Opens `path` to be written from its start (GENERIC_WRITE and DELETE,
// shared as `share` says), creating the file or emptying the one there. An
// existing entry must be a plain file with no other hard link whose final
// path is `expectedFinal`; a link, a folder or anything reached through a
// link is refused with kErrorStoppedOnLink and left as it is. A new file is
// checked the same way when `checkNew` is set (its folder is not known to
// be held); one that is not where it should be is deleted again.
UniqueFile OpenForReplace(const std::wstring& path, std::wstring_view expectedFinal, DWORD share, bool checkNew);
// Renames the open entry to `to` (a full path), replacing what is there
// (a link there is replaced, never followed).
bool RenameOpenEntry(HANDLE entry, const std::wstring& to);
// Marks the open entry for deletion (clearing a read-only attribute first).
bool DeleteOpenEntry(HANDLE entry);

// The delete guard DeleteTree applies: true for paths of 3 characters or
// fewer, drive and share roots, the well-known system and user folders
// (ProtectedShellFolders) and every ancestor of one, under any spelling ("/"
// or "\", "\\?\", short names, "..", links on the way).
bool IsProtectedFolder(const std::wstring& path);

// Shell move and copy without confirmation, progress or error UI and without
// an owner window; true when the source exists and the shell reports success.
bool MovePath(const std::wstring& to, const std::wstring& from);
bool CopyPath(const std::wstring& to, const std::wstring& from);

// Creates the folder with every missing parent. True when it exists as a
// folder afterwards (a file in the way gives false).
bool EnsureFolder(const std::wstring& path);

// The running executable's path; empty on failure.
std::wstring ModulePath();
// The temporary folder with its trailing backslash; empty on failure.
std::wstring TempFolder();
// The first 8 bytes of a new GUID as a little-endian number, for unique file names.
std::uint64_t UniqueNumber64();

}  // namespace pv
