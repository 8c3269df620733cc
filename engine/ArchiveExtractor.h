#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "json/JValue.h"

namespace pv {

class TargetWriter;

// Extracts the product archive into the install folder and records what it
// wrote: "files" (every file written whole, in archive order) and "folders"
// (every folder entry in archive order; the slot after them holds the folder
// of the last file, overwritten by each later entry), both as Base64 of the
// UTF-8 paths, ready for the uninstall document.
//
// Any entry that cannot be written exactly as the archive says fails the
// whole extraction: a name that would land outside the folder or on a device,
// an entry that cannot be opened, is encrypted, does not inflate, fails its
// CRC check or has another size than it claims, two names that are one file
// on Windows, a folder or file that cannot be created, a short write. The
// rollback then removes everything this run created.
class ArchiveExtractor {
 public:
  explicit ArchiveExtractor(std::wstring installDir);

  // Reads the archive's directory without writing anything: false when an
  // entry could not be extracted for its name (not valid in its encoding,
  // unsafe, one file with an earlier name, or a full path the system cannot
  // create without long-path support: 260 characters for a file, 248 for a
  // folder, its own or a file's), because it is encrypted or
  // compressed in a way we cannot inflate, or when the directory cannot be
  // walked to its end. With `inflateEntries` every file entry's data is also
  // inflated and its size and CRC compared (for archives that carry no
  // checksum of their own); otherwise damage in the data only shows while
  // extracting.
  bool Check(HANDLE zipFile, bool inflateEntries = false);

  // Extracts every entry of the ZIP archive that `zipFile` holds open.
  bool Extract(HANDLE zipFile);

  // Deletes every recorded file, then removes the recorded folders and every
  // folder this run created that is empty by then.
  void Rollback();

  const JValue& files() const { return files_; }
  const JValue& folders() const { return folders_; }
  // Entries handled so far (for progress and reports).
  std::size_t entriesDone() const { return entriesDone_; }

 private:
  bool ExtractFolder(const std::wstring& name);
  bool ExtractFile(TargetWriter& writer, void* zip, const std::wstring& name, unsigned long long size);
  // On the writing thread, after each file is closed whole.
  static void Written(const std::wstring& target);
  bool EnsureFolderTracked(const std::wstring& path);
  bool InsideInstallDir(const std::wstring& path) const;
  // On the writing thread: opens the target, ending programs that hold it.
  static HANDLE CreateTarget(const std::wstring& target);
  void Record(JValue& list, int index, const std::wstring& path);

  std::wstring installDir_;
  std::wstring installDirFull_;  // GetFullPathName form, for containment checks
  JValue files_;
  JValue folders_;
  int fileCount_ = 0;
  int folderCount_ = 0;
  std::size_t entriesDone_ = 0;
  std::vector<std::wstring> createdFolders_;  // in creation order
  std::set<std::wstring> seenTargets_;        // upper-cased full paths
  std::set<std::wstring> readyFolders_;       // known to exist, as EnsureFolderTracked was given them
};

}  // namespace pv
