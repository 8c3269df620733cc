#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "json/JValue.h"
#include "ui/Handles.h"

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
//
// Nothing is written through a link. The install folder and the folder
// holding it, and every folder the entries use, are opened and checked by
// their handle (no reparse point, a final path that is the install folder's
// own followed by the entry's name) and held open without delete sharing
// while the extraction runs, so they cannot be swapped for links meanwhile;
// files are created new in them, and a file already there is only reused
// when its own handle shows a plain file with one name at that place.
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
  //
  // Refused as well: a file and a folder of one name in any letter case
  // (counting every folder an entry's path passes through), a name with a
  // component that could be another entry's 8.3 short name, and, where the
  // install folder exists already, a link as the install folder, as the
  // folder holding it or at any path an entry or the uninstaller uses.
  bool Check(HANDLE zipFile, bool inflateEntries = false);

  // Creates the install folder with its missing parents, checks it and the
  // folder holding it for links by their handles, and holds it open for
  // the extraction (Extract does it first where it was not done).
  bool PrepareInstallFolder();
  // The install folder, opened by PrepareInstallFolder with READ_CONTROL
  // and WRITE_DAC (where those are granted); null before.
  HANDLE installFolder() const { return installHandle_.get(); }

  // Extracts every entry of the ZIP archive that `zipFile` holds open. The
  // folders it held are let go when it returns.
  bool Extract(HANDLE zipFile);

  // Deletes every recorded file, then removes the recorded folders and every
  // folder this run created that is empty by then.
  void Rollback();

  const JValue& files() const { return files_; }
  const JValue& folders() const { return folders_; }
  // Entries handled so far (for progress and reports).
  std::size_t entriesDone() const { return entriesDone_; }
  // Bytes of the files written whole so far (the registration's size).
  unsigned long long bytesWritten() const { return bytesWritten_; }

 private:
  bool ExtractFolder(const std::wstring& name);
  bool ExtractFile(TargetWriter& writer, void* zip, const std::wstring& name, unsigned long long size);
  // On the writing thread, after each file is closed whole.
  static void Written(const std::wstring& target);
  // Makes (or finds) the folder at the full path `full` below the install
  // folder, with its missing parents, each checked and held.
  bool EnsureFolderTracked(const std::wstring& full);
  bool InsideInstallDir(const std::wstring& path) const;
  // Opens the install folder and the folder holding it as they are, checked.
  bool OpenInstallFolder();
  // The final path an entry at the full path `full` must have: the install
  // folder's own, followed by the rest of `full`.
  std::wstring ExpectedFinal(const std::wstring& full) const;
  // Whether what exists already at the entries' paths is no link (the check
  // before a previous version is removed). Writes nothing.
  bool ExistingPathsAreOwn(const std::map<std::wstring, std::wstring>& folders,
                           const std::map<std::wstring, std::wstring>& files);
  // On the writing thread: opens the target, ending programs that hold it.
  HANDLE CreateTarget(const std::wstring& target) const;
  void Record(JValue& list, int index, const std::wstring& path);
  void ReleaseFolders();

  std::wstring installDir_;
  std::wstring installDirFull_;  // GetFullPathName form, for containment checks
  std::wstring installFinal_;    // the install folder's final path, once opened
  JValue files_;
  JValue folders_;
  int fileCount_ = 0;
  int folderCount_ = 0;
  std::size_t entriesDone_ = 0;
  unsigned long long bytesWritten_ = 0;
  std::vector<std::wstring> createdFolders_;  // in creation order
  std::set<std::wstring> seenTargets_;        // upper-cased full paths
  pv::UniqueFile installHandle_;
  // The folders in use below the install folder, by upper-cased full path,
  // held open without delete sharing.
  std::map<std::wstring, pv::UniqueFile> heldFolders_;
};

}  // namespace pv
