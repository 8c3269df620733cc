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

bool ArchiveExtractor::EnsureFolderTracked(const std::wstring& path) {
  // Most entries share their folder with the one before: the folders made
  // or found so far are not asked about again.
  if (readyFolders_.contains(path)) return true;
  if (pv::IsFolder(path)) {
    readyFolders_.insert(path);
    return true;
  }
  // Create each missing level ourselves, so the rollback knows every folder
  // this run made (the recorded list holds only some of them).
  std::vector<std::wstring> missing;
  std::wstring at = path;
  while (!at.empty() && !pv::IsFolder(at)) {
    missing.push_back(at);
    const std::size_t cut = at.find_last_of(L"\\/");
    if (cut == std::wstring::npos || cut < 3) break;
    at.resize(cut);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::CreateDirectoryW(it->c_str(), nullptr)) {
      createdFolders_.push_back(*it);
      if (pv::SetupLog::Enabled()) pv::SetupLog::Line(L"created folder " + pv::WithBackslashes(*it));
    } else if (::GetLastError() != ERROR_ALREADY_EXISTS || !pv::IsFolder(*it)) {
      pv::SetupLog::Failure(L"creating folder " + *it, ::GetLastError());
      return false;
    }
  }
  if (!pv::IsFolder(path)) return false;
  readyFolders_.insert(path);
  return true;
}

HANDLE ArchiveExtractor::CreateTarget(const std::wstring& target) {
  auto attempt = [&] {
    return ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  };
  HANDLE file = attempt();
  if (file != INVALID_HANDLE_VALUE) return file;
  // Held by a running program: end every process of that name and retry.
  std::wstring user;
  if (pv::FindFileUser(target, user)) {
    pv::KillProcessesByName(user);
    ::Sleep(1000);
    file = attempt();
    if (file != INVALID_HANDLE_VALUE) return file;
  }
  // Still held: delete it, or move it aside to be deleted once it is free.
  if (!::DeleteFileW(target.c_str())) {
    const std::wstring old = target + L".old";
    if (pv::MovePath(old, target)) PendingOldFile() = old;
  }
  return attempt();
}

bool ArchiveExtractor::ExtractFolder(const std::wstring& name) {
  const std::wstring path = installDir_ + L"\\" + name;
  if (!InsideInstallDir(path) || !EnsureFolderTracked(path)) return false;
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
  const std::wstring parent = full.substr(0, full.find_last_of(L'\\'));
  if (!EnsureFolderTracked(folder) || (parent != folder && !EnsureFolderTracked(parent))) return false;
  Record(folders_, folderCount_, folder);

  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  writer.Begin(target);
  bool dataOk = true;
  unsigned long long copied = 0;
  while (!writer.Failed()) {
    std::vector<char> chunk = writer.Buffer();
    chunk.resize(kCopyBuffer);
    const int got = unzReadCurrentFile(zip, chunk.data(), static_cast<unsigned>(chunk.size()));
    if (got < 0) {
      dataOk = false;  // a damaged deflate stream or a read error
      break;
    }
    if (got == 0) break;
    copied += static_cast<unsigned>(got);
    chunk.resize(static_cast<std::size_t>(got));
    writer.Write(std::move(chunk));
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
  Record(files_, fileCount_++, target);
  return true;
}

void ArchiveExtractor::Written(const std::wstring& target) {
  const std::wstring& old = PendingOldFile();
  if (!old.empty() && pv::PathExists(old) && ::DeleteFileW(old.c_str())) PendingOldFile().clear();
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

bool ArchiveExtractor::Check(HANDLE zipFile, bool inflateEntries) {
  zlib_filefunc64_def funcs;
  FillHandleFileFuncs(funcs, zipFile);
  unzFile zip = unzOpen2_64("archive", &funcs);
  if (!zip) return false;
  std::set<std::wstring> targets;
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
    const wchar_t* refusal = nullptr;
    if (!InsideInstallDir(path)) {
      refusal = L"it lies outside the install folder";
    } else if (!FitsPathLimits(FullPath(path), isFolder)) {
      refusal = L"its path is longer than Windows allows";
    } else if (!isFolder && info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
      refusal = L"it is compressed with a method other than deflate";
    } else if (!isFolder && !targets.insert(Upper(FullPath(path))).second) {
      refusal = L"another entry has the same name but for letter case";
    } else if (!isFolder && inflateEntries && !InflateEntry(zip, info.uncompressed_size, buffer)) {
      refusal = L"its data is damaged";
    }
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
  return ok;
}

bool ArchiveExtractor::Extract(HANDLE zipFile) {
  zlib_filefunc64_def funcs;
  FillHandleFileFuncs(funcs, zipFile);
  unzFile zip = unzOpen2_64("archive", &funcs);
  if (!zip) return false;
  TargetWriter writer(CreateTarget, Written);
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
  return ok && !writer.Failed();
}

void ArchiveExtractor::Rollback() {
  auto each = [](const JValue& list, auto&& act) {
    for (int i = 0; i < list.Count(); ++i) {
      const std::wstring path = ToWide(DecodeDocumentPath(list.Element(i)));
      if (!path.empty()) act(path);
    }
  };
  each(files_, [](const std::wstring& p) {
    if (::DeleteFileW(p.c_str())) pv::SetupLog::Line(L"rollback removed " + p);
  });
  each(folders_, [](const std::wstring& p) { ::RemoveDirectoryW(p.c_str()); });
  for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) ::RemoveDirectoryW(it->c_str());
}

}  // namespace pv
