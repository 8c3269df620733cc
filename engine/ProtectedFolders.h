#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pv {

// The folders a recursive delete must never take away: drive and share roots,
// the system's and the user's well-known folders, and every folder that
// contains one of them. Pure path logic; the Win32 side collects the folders.
//
// Paths are compared in a canonical form: "/" read as "\", "\\?\" and "\\.\"
// prefixes dropped, "." and ".." resolved, the trailing dots and blanks that
// Windows ignores dropped from each element, letters folded to one case.
class ProtectedFolders {
 public:
  ProtectedFolders() = default;
  explicit ProtectedFolders(const std::vector<std::wstring>& folders);

  // Relative or malformed folders are ignored; roots are refused anyway.
  void Add(std::wstring_view folder);
  std::size_t Count() const { return folders_.size(); }

  // True when `path` must not be deleted with everything below it: blank or
  // very short paths, paths that are not absolute or not well formed, drive
  // and share roots, a protected folder itself or any ancestor of one.
  bool Refuses(std::wstring_view path) const;

  // The comparison form ("C:\PROGRAM FILES", "\\SERVER\SHARE\X"); empty when
  // the path is not absolute or holds characters no folder name can hold.
  static std::wstring Canonical(std::wstring_view path);

 private:
  std::vector<std::wstring> folders_;
};

}  // namespace pv
