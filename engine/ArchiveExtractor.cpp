#include "engine/ArchiveExtractor.h"

#include <unzip.h>

#include <algorithm>
#include <span>

#include "app/SetupConfig.h"
#include "engine/EntryName.h"
#include "engine/EntryNameEncoding.h"
#include "engine/FileOps.h"
#include "engine/FilePaths.h"
#include "engine/PathText.h"
#include "engine/Processes.h"
#include "engine/SetupLog.h"
#include "engine/TargetWriter.h"
#include "engine/ZipFileIo.h"
#include "ui/Handles.h"
#include "ui/StringConverter.h"

namespace pv {

namespace {

// Entry data is copied through one buffer of this size.
constexpr std::size_t kCopyBuffer = 0x80000;

// Without the long-path opt-in, CreateFileW takes paths shorter than
// MAX_PATH (260) and CreateDirectoryW paths shorter than 248 (room left for
// an 8.3 name), both counted with the terminating NUL.
constexpr std::size_t kFilePathLimit = MAX_PATH;
constexpr std::size_t kFolderPathLimit = MAX_PATH - 12;

// The ".old" file left by the last target that could be neither overwritten
// nor deleted; deleted as soon as it is free. One slot for the process.
std::wstring& PendingOldFile() {
  static std::wstring path;
  return path;
}

std::wstring Upper(std::wstring s) {
  if (!s.empty()) ::CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

// An entry's name as wide text, decoded as the entry says it is stored.
// False for bytes that are not valid in that encoding.
bool DecodeEntryName(const EntryNameSource& source, std::wstring& name) {
  if (source.encoding != EntryNameEncoding::kCodePage) {
    std::u16string utf16;
    if (!DecodeUtf8Name(source.bytes, utf16)) return false;
    name.assign(utf16.begin(), utf16.end());
    return true;
  }
  name.clear();
  if (source.bytes.empty()) return true;
  const int size = static_cast<int>(source.bytes.size());
  const int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, source.bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  name.resize(static_cast<std::size_t>(n));
  ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, source.bytes.data(), size, name.data(), n);
  return name.find(L'\0') == std::wstring::npos;
}

// The current entry's directory record: `name` decoded (see
// EntryNameEncoding.h), trimmed and without a folder's trailing slash. False
// for a record that cannot be read, a name that is longer than we read, not
// valid in its encoding or empty, an encrypted entry, or an unsafe path.
bool ReadEntry(unzFile zip, unz_file_info64& info, std::wstring& name, bool& isFolder) {
  char rawName[1024] = {};
  std::uint8_t extra[0x10000];
  info = {};
  if (unzGetCurrentFileInfo64(zip, &info, rawName, sizeof rawName - 1, extra, sizeof extra, nullptr, 0) != UNZ_OK)
    return false;
  if (info.size_filename >= sizeof rawName) return false;
  const std::string_view raw(rawName, info.size_filename);
  const std::span<const std::uint8_t> extraField(extra, std::min<std::size_t>(info.size_file_extra, sizeof extra));
  if (!DecodeEntryName(SelectEntryName(static_cast<std::uint16_t>(info.flag), raw, extraField), name)) return false;
  name = std::wstring(pv::TrimBlanks(name));
  if (name.empty() || (info.flag & 1) != 0) return false;
  isFolder = name.back() == L'/';
  if (isFolder) name.pop_back();
  return IsSafeEntryName(name);
}

}  // namespace

using pv::FullPath;

ArchiveExtractor::ArchiveExtractor(std::wstring installDir)
    : installDir_(std::move(installDir)), installDirFull_(FullPath(installDir_)) {
  while (!installDirFull_.empty() && installDirFull_.back() == L'\\') installDirFull_.pop_back();
}

void ArchiveExtractor::Record(JValue& list, int index, const std::wstring& path) {
  list.At(index) = JValue(EncodeDocumentPath(ToNarrow(path)));
}

bool ArchiveExtractor::InsideInstallDir(const std::wstring& path) const {
  return pv::IsInsideFolder(FullPath(path), installDirFull_);
}

std::wstring ArchiveExtractor::ExpectedFinal(const std::wstring& full) const {
  if (full.size() <= installDirFull_.size()) return installFinal_;
  return pv::JoinPath(installFinal_, std::wstring_view(full).substr(installDirFull_.size() + 1));
}

bool ArchiveExtractor::OpenInstallFolder() {
  // WRITE_DAC for the access grant, where it is to be had.
  std::wstring final;
  installHandle_ = pv::OpenProductFolder(installDirFull_, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, final);
  if (!installHandle_ && ::GetLastError() == ERROR_ACCESS_DENIED)
    installHandle_ =
        pv::OpenProductFolder(installDirFull_, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, final);
  if (!installHandle_) {
    pv::SetupLog::Failure(
        L"opening the install folder " + installDirFull_ + L" (it or the folder holding it may be a link)",
        ::GetLastError());
    return false;
  }
  installFinal_ = pv::WithoutTrailingSeparators(final);
  return true;
}

bool ArchiveExtractor::PrepareInstallFolder() {
  if (installHandle_) return true;
  // Each missing level is created here, so the rollback knows every folder
  // this run made.
  std::vector<std::wstring> missing;
  std::wstring at = installDirFull_;
  while (!at.empty() && !pv::IsFolder(at)) {
    missing.push_back(at);
    const std::size_t cut = at.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut < 3) break;
    at.resize(cut);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::CreateDirectoryW(it->c_str(), nullptr)) {
      createdFolders_.push_back(*it);
      if (pv::SetupLog::Enabled()) pv::SetupLog::Line(L"created folder " + *it);
    } else if (::GetLastError() != ERROR_ALREADY_EXISTS) {
      pv::SetupLog::Failure(L"creating folder " + *it, ::GetLastError());
      return false;
    }
  }
  return OpenInstallFolder();
}

bool ArchiveExtractor::EnsureFolderTracked(const std::wstring& full) {
  if (pv::SamePathText(full, installDirFull_)) return static_cast<bool>(installHandle_);
  // Most entries share their folder with the one before: the folders made
  // or found so far are not asked about again.
  const std::wstring key = Upper(full);
  if (heldFolders_.contains(key)) return true;
  if (!InsideInstallDir(full)) return false;
  const std::size_t cut = full.find_last_of(L'\\');
  if (!EnsureFolderTracked(full.substr(0, cut))) return false;
  if (::CreateDirectoryW(full.c_str(), nullptr)) {
    createdFolders_.push_back(full);
    if (pv::SetupLog::Enabled()) pv::SetupLog::Line(L"created folder " + full);
  } else if (::GetLastError() != ERROR_ALREADY_EXISTS) {
    pv::SetupLog::Failure(L"creating folder " + full, ::GetLastError());
    return false;
  }
  // The folder is checked by the handle that then keeps it in place: no
  // rename or delete can swap it for a link while the extraction uses it.
  pv::UniqueFile folder = pv::OpenEntry(full, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
  pv::EntryFacts facts;
  if (!folder || !pv::QueryEntry(folder.get(), facts) || !facts.IsFolder() ||
      !pv::IsEntryAt(folder.get(), ExpectedFinal(full))) {
    pv::SetupLog::Failure(L"using folder " + full + L": it is not a folder of its own there (a file, or a link)",
                          folder ? pv::kErrorStoppedOnLink : ::GetLastError());
    return false;
  }
  heldFolders_.emplace(key, std::move(folder));
  return true;
}

void ArchiveExtractor::ReleaseFolders() {
  heldFolders_.clear();
  installHandle_.reset();
}

HANDLE ArchiveExtractor::CreateTarget(const std::wstring& target) const {
  // Its folder is checked and held: a new file made there is what it seems.
  // A name taken already is checked by its own handle before it is reused.
  const std::wstring expected = ExpectedFinal(FullPath(target));
  pv::UniqueFile file = pv::OpenForReplace(target, expected, FILE_SHARE_READ, false);
  if (file) return file.release();
  DWORD error = ::GetLastError();
  if (error == pv::kErrorStoppedOnLink || error == ERROR_PATH_NOT_FOUND) return INVALID_HANDLE_VALUE;
  if (error == ERROR_FILE_NOT_FOUND) {
    // Taken, yet nothing to open: a link to nowhere (Wine's host links).
    ::SetLastError(pv::kErrorStoppedOnLink);
    return INVALID_HANDLE_VALUE;
  }
  // Held by a running program: end every process of that name and retry.
  std::wstring user;
  if (pv::FindFileUser(target, user)) {
    pv::KillProcessesByName(user);
    ::Sleep(1000);
    file = pv::OpenForReplace(target, expected, FILE_SHARE_READ, false);
    if (file) return file.release();
  }
  // Still held: delete it, or move it aside to be deleted once it is free.
  // Only a file of its own at that place: never a folder, never a link.
  pv::UniqueFile held =
      pv::OpenEntry(target, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  pv::EntryFacts facts;
  if (!held || !pv::QueryEntry(held.get(), facts) || facts.IsFolder() || !pv::IsEntryAt(held.get(), expected)) {
    ::SetLastError(held ? pv::kErrorStoppedOnLink : ::GetLastError());
    return INVALID_HANDLE_VALUE;
  }
  if (!pv::DeleteOpenEntry(held.get())) {
    const std::wstring old = target + L".old";
    if (pv::RenameOpenEntry(held.get(), FullPath(old))) {
      PendingOldFile() = old;
      if (pv::SetupLog::Enabled()) pv::SetupLog::Line(L"moved the held " + target + L" aside to " + old);
    }
  }
  held.reset();
  return pv::OpenForReplace(target, expected, FILE_SHARE_READ, false).release();
}

bool ArchiveExtractor::ExtractFolder(const std::wstring& name) {
  const std::wstring path = installDir_ + L"\\" + name;
  if (!InsideInstallDir(path) || !EnsureFolderTracked(FullPath(path))) return false;
  Record(folders_, folderCount_++, path);
  return true;
}

bool ArchiveExtractor::ExtractFile(TargetWriter& writer, void* zip, const std::wstring& name, unsigned long long size) {
  const std::wstring target = installDir_ + L"\\" + name;
  const std::wstring full = FullPath(target);
  if (!pv::IsInsideFolder(full, installDirFull_)) return false;
  // Two names that differ only in letter case are one file on Windows.
  if (!seenTargets_.insert(Upper(full)).second) return false;
  // The folder as the target's last backslash cuts it; names with forward
  // slashes keep the install folder here, and the system resolves the rest.
  const std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
  if (!EnsureFolderTracked(full.substr(0, full.find_last_of(L'\\')))) return false;
  Record(folders_, folderCount_, folder);
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  writer.Begin(target);
  bool dataOk = true;
  unsigned long long copied = 0;
  while (!writer.Failed()) {
    std::size_t room = 0;
    char* at = writer.Space(room);
    const int got = unzReadCurrentFile(zip, at, static_cast<unsigned>(std::min<std::size_t>(room, kCopyBuffer)));
    if (got < 0) {
      dataOk = false;  // a damaged deflate stream or a read error
      break;
    }
    if (got == 0) break;
    copied += static_cast<unsigned>(got);
    writer.Commit(static_cast<std::size_t>(got));
  }
  // Closing the entry checks its CRC once all of it was read.
  if (unzCloseCurrentFile(zip) != UNZ_OK) dataOk = false;
  if (copied != size) dataOk = false;
  if (writer.Failed()) return false;  // the writer has said why
  if (!dataOk) {
    // Nothing half-written stays behind.
    writer.End(false);
    writer.Drain();
    pv::SetupLog::Line(L"FAILED: the archive's data for " + pv::WithBackslashes(target) + L" is damaged or incomplete");
    return false;
  }
  writer.End(true);
  bytesWritten_ += copied;
  Record(files_, fileCount_++, target);
  return true;
}

void ArchiveExtractor::Written(const std::wstring& target) {
  const std::wstring& old = PendingOldFile();
  if (!old.empty() && pv::PathExists(old) && pv::DeletePath(old)) PendingOldFile().clear();
  if (pv::SetupLog::Enabled()) pv::SetupLog::Line(L"wrote " + pv::WithBackslashes(target));
}

namespace {

// Whether the system can create the entry and its folders at this full path.
bool FitsPathLimits(const std::wstring& full, bool isFolder) {
  if (full.empty()) return false;
  if (isFolder) return full.size() + 1 <= kFolderPathLimit;
  const std::size_t cut = full.find_last_of(L'\\');
  return full.size() + 1 <= kFilePathLimit && (cut == std::wstring::npos || cut + 1 <= kFolderPathLimit);
}

// Inflates the current entry into nothing: true when all of its data reads,
// its size is the one the directory gives and its CRC matches.
bool InflateEntry(unzFile zip, unsigned long long size, std::vector<char>& buffer) {
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  unsigned long long total = 0;
  int got;
  while ((got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) total += got;
  // Closing checks the CRC once all of the entry was read.
  const int closed = unzCloseCurrentFile(zip);
  return got == 0 && closed == UNZ_OK && total == size;
}

}  // namespace

bool ArchiveExtractor::ExistingPathsAreOwn(const std::map<std::wstring, std::wstring>& folders,
                                           const std::map<std::wstring, std::wstring>& files) {
  if (!pv::PathExists(installDirFull_)) return true;  // a new install: nothing there to be a link
  // Opened only for the check: a previous version's removal comes next and
  // must be free to delete the folder.
  const bool opened = OpenInstallFolder();
  installHandle_.reset();
  if (!opened) return false;
  // A file with a second name (a hard link) counts as a link too: writing
  // it would change the other name's file.
  auto own = [&](const std::wstring& full) {
    if (!pv::PathExists(full)) return true;
    pv::UniqueFile entry =
        pv::OpenEntry(full, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    pv::EntryFacts facts;
    if (!entry || !pv::QueryEntry(entry.get(), facts)) return true;  // gone meanwhile, or held
    if (pv::IsEntryAt(entry.get(), ExpectedFinal(full)) && (facts.IsFolder() || facts.links == 1)) return true;
    pv::SetupLog::Line(L"FAILED: the archive check refused " + full + L": it is a link, or reached through one");
    return false;
  };
  for (const auto& [key, full] : folders)
    if (!own(full)) return false;
  for (const auto& [key, full] : files)
    if (!own(full)) return false;
  return own(installDirFull_ + L"\\unins000.exe");
}

bool ArchiveExtractor::Check(HANDLE zipFile, bool inflateEntries) {
  zlib_filefunc64_def funcs;
  FillHandleFileFuncs(funcs, zipFile);
  unzFile zip = unzOpen2_64("archive", &funcs);
  if (!zip) return false;
  // Every file and every folder the entries name or pass through, by
  // upper-cased full path: one name may be one of the two, never both.
  std::map<std::wstring, std::wstring> files;
  std::map<std::wstring, std::wstring> folders;
  std::vector<char> buffer(inflateEntries ? kCopyBuffer : 0);
  bool ok = true;
  int r = unzGoToFirstFile(zip);
  for (; ok && r == UNZ_OK; r = unzGoToNextFile(zip)) {
    unz_file_info64 info;
    std::wstring name;
    bool isFolder = false;
    if (!ReadEntry(zip, info, name, isFolder)) {
      pv::SetupLog::Line(L"FAILED: the archive check met an entry whose name cannot be read");
      ok = false;
      break;
    }
    const std::wstring path = installDir_ + L"\\" + name;
    const std::wstring full = FullPath(path);
    const wchar_t* refusal = nullptr;
    auto folderClash = [&] {
      // The entry's own folders, up to the install folder.
      for (std::size_t cut = full.find_last_of(L'\\'); cut > installDirFull_.size() && cut != std::wstring::npos;
           cut = full.find_last_of(L'\\', cut - 1)) {
        const std::wstring level = full.substr(0, cut);
        const std::wstring key = Upper(level);
        if (files.contains(key)) return true;
        if (!folders.emplace(key, level).second) break;  // and the levels above it are known too
      }
      return false;
    };
    if (!InsideInstallDir(path)) {
      refusal = L"it lies outside the install folder";
    } else if (!FitsPathLimits(full, isFolder)) {
      refusal = L"its path is longer than Windows allows";
    } else if (MayBeShortName(name)) {
      refusal = L"a part of its name could be another entry's short (8.3) name";
    } else if (!isFolder && info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
      refusal = L"it is compressed with a method other than deflate";
    } else if (isFolder ? files.contains(Upper(full)) : folders.contains(Upper(full))) {
      refusal = L"a file and a folder have this name but for letter case";
    } else if (!isFolder && !files.emplace(Upper(full), full).second) {
      refusal = L"another entry has the same name but for letter case";
    } else if (folderClash()) {
      refusal = L"one of its folders has the name of a file but for letter case";
    } else if (isFolder) {
      folders.emplace(Upper(full), full);
    }
    if (!refusal && !isFolder && inflateEntries && !InflateEntry(zip, info.uncompressed_size, buffer))
      refusal = L"its data is damaged";
    if (refusal) {
      pv::SetupLog::Line(L"FAILED: the archive check refused " + name + L": " + refusal);
      ok = false;
    }
  }
  if (ok && r != UNZ_END_OF_LIST_OF_FILE) {
    pv::SetupLog::Line(L"FAILED: the archive's directory cannot be read to its end");
    ok = false;
  }
  unzClose(zip);
  return ok && ExistingPathsAreOwn(folders, files);
}

bool ArchiveExtractor::Extract(HANDLE zipFile) {
  zlib_filefunc64_def funcs;
  FillHandleFileFuncs(funcs, zipFile);
  unzFile zip = unzOpen2_64("archive", &funcs);
  if (!zip) return false;
  if (!PrepareInstallFolder()) {
    unzClose(zip);
    return false;
  }
  TargetWriter writer([this](const std::wstring& target) { return CreateTarget(target); }, Written);
  bool ok = true;
  int r = unzGoToFirstFile(zip);
  for (; r == UNZ_OK; r = unzGoToNextFile(zip)) {
    unz_file_info64 info;
    std::wstring name;
    bool isFolder = false;
    if (!ReadEntry(zip, info, name, isFolder)) {
      ok = false;
      break;
    }
    if (!(isFolder ? ExtractFolder(name) : ExtractFile(writer, zip, name, info.uncompressed_size))) {
      ok = false;
      break;
    }
    ++entriesDone_;
  }
  // A central directory that cannot be walked to its end is a damaged archive.
  if (ok && r != UNZ_END_OF_LIST_OF_FILE) ok = false;
  unzClose(zip);
  // Everything handed over is on disk (or failed) before the caller looks
  // at the result or rolls back.
  writer.Drain();
  ReleaseFolders();
  return ok && !writer.Failed();
}

void ArchiveExtractor::Rollback() {
  ReleaseFolders();
  auto each = [](const JValue& list, auto&& act) {
    for (int i = 0; i < list.Count(); ++i) {
      const std::wstring path = ToWide(DecodeDocumentPath(list.Element(i)));
      if (!path.empty()) act(path);
    }
  };
  // What this run wrote, and only that: a name swapped for a link since is
  // left with its target.
  each(files_, [this](const std::wstring& p) {
    if (pv::DeleteFileAt(p, ExpectedFinal(FullPath(p)))) pv::SetupLog::Line(L"rollback removed " + p);
  });
  each(folders_, [](const std::wstring& p) { ::RemoveDirectoryW(p.c_str()); });
  for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) ::RemoveDirectoryW(it->c_str());
}

}  // namespace pv
