#include "engine/FileOps.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>

#include "engine/FilePaths.h"
#include "engine/PathText.h"
#include "engine/ProtectedFolders.h"
#include "engine/SpecialFolders.h"
#include "ui/Handles.h"

namespace pv {

namespace {

constexpr DWORD kReadPiece = 40960;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI: no dialog of any kind.
constexpr FILEOP_FLAGS kShellFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
static_assert(kShellFlags == 0x0414);

const ProtectedFolders& Guard() {
  static const ProtectedFolders guard(ProtectedShellFolders());
  return guard;
}

// "\\?\" form, so that deep trees beyond MAX_PATH can be walked.
std::wstring ExtendedPath(const std::wstring& full) {
  if (full.starts_with(L"\\\\?\\")) return full;
  if (full.starts_with(L"\\\\.\\")) return L"\\\\?\\" + full.substr(4);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Opens the entry itself, never what a link points to, with the rights to
// delete it and to clear its read-only attribute.
UniqueFile OpenForDelete(const std::wstring& path) {
  return UniqueFile(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
}

DWORD AttributesOf(HANDLE file) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &info, sizeof(info))) return INVALID_FILE_ATTRIBUTES;
  return info.FileAttributes;
}

// Marks the opened entry for deletion; it goes when the handle closes. A
// read-only attribute blocks that, so it is cleared first, and put back when
// the entry stays after all.
bool DisposeOf(HANDLE file) {
  FILE_BASIC_INFO basic{};
  bool clearedReadOnly = false;
  if (::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof(basic)) &&
      (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
    FILE_BASIC_INFO writable = basic;
    writable.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (writable.FileAttributes == 0) writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    clearedReadOnly = ::SetFileInformationByHandle(file, FileBasicInfo, &writable, sizeof(writable)) != FALSE;
  }
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition))) return true;
  const DWORD error = ::GetLastError();
  if (clearedReadOnly) ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic));
  ::SetLastError(error);  // the caller tells a folder not yet empty from a refusal
  return false;
}

// Marks a folder for deletion once its children are gone. A child another
// program still holds with delete sharing (a virus scanner, an indexer, the
// shell reading a new link) stays in the folder until that program closes
// it, so "directory not empty" is waited out a few times before the folder
// counts as staying. A folder with an entry the walk could not remove is
// tried once: waiting would not empty it.
constexpr int kFolderAttempts = 6;
bool DisposeOfFolder(const std::wstring& folder, int attempts) {
  constexpr DWORD kPauseMs = 100;
  for (int attempt = 1;; ++attempt) {
    UniqueFile handle = OpenForDelete(folder);
    if (!handle) return false;
    if (DisposeOf(handle.get())) return true;
    if (::GetLastError() != ERROR_DIR_NOT_EMPTY || attempt >= attempts) return false;
    handle.reset();
    ::Sleep(kPauseMs);
  }
}

// What an entry turned out to be once opened.
enum class EntryKind { kGone, kFailed, kFolder };

// Deletes a file or a link at `path`, the name `listedAttributes` were listed
// under; reports a real folder for the caller to descend into. An entry is
// only touched when the open handle is on the entry itself: links are
// removed as links, and a link the system resolved while opening (Wine opens
// the target of a Unix link even when asked not to, and does not mark file
// links at all) shows a final path other than its own and is left alone.
EntryKind DeleteEntry(const std::wstring& path, DWORD listedAttributes) {
  UniqueFile entry = OpenForDelete(path);
  if (!entry) return EntryKind::kFailed;
  DWORD attributes = AttributesOf(entry.get());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kFailed;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return DisposeOf(entry.get()) ? EntryKind::kGone : EntryKind::kFailed;
  if (listedAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::kFailed;
  std::wstring resolved = FinalPath(entry.get());
  if (!resolved.empty() && !SamePathText(resolved, path)) return EntryKind::kFailed;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
  return DisposeOf(entry.get()) ? EntryKind::kGone : EntryKind::kFailed;
}

// Removes a folder (given as its final path) bottom-up with everything in
// it. The walk keeps its own stack so that deep trees cannot exhaust the
// thread's stack. Entries that cannot be removed stay, as do their parents;
// the rest goes.
bool RemoveFolderTree(const std::wstring& root) {
  constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);
  struct Pending {
    std::wstring path;
    std::size_t parent;  // index in `pending`: a parent stays below its children
    bool listed = false;
    bool keepsChild = false;  // something in it stays: not worth waiting for
  };
  std::vector<Pending> pending{{root, kNoParent}};
  bool complete = true;

  while (!pending.empty()) {
    if (pending.back().listed) {
      Pending folder = std::move(pending.back());
      pending.pop_back();
      if (!DisposeOfFolder(folder.path, folder.keepsChild ? 1 : kFolderAttempts)) {
        complete = false;
        if (folder.parent != kNoParent) pending[folder.parent].keepsChild = true;
      }
      continue;
    }
    const std::size_t index = pending.size() - 1;
    pending.back().listed = true;
    std::wstring folder = pending.back().path;

    WIN32_FIND_DATAW data;
    UniqueFind find(
        ::FindFirstFileExW(JoinPath(folder, L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!find) {
      complete = false;
      pending.back().keepsChild = true;
      continue;
    }
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = JoinPath(folder, name);
      switch (DeleteEntry(child, data.dwFileAttributes)) {
        case EntryKind::kGone:
          break;
        case EntryKind::kFailed:
          complete = false;
          pending[index].keepsChild = true;
          break;
        case EntryKind::kFolder:
          pending.push_back({std::move(child), index});
          break;
      }
    } while (::FindNextFileW(find.get(), &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
      complete = false;
      pending[index].keepsChild = true;
    }
  }
  return complete;
}

bool RemovePath(const std::wstring& path, std::wstring_view expectedFinal = {}) {
  // "C:" and "C:." name the current folder of drive C, "" and "." the
  // current folder: nothing a caller means to delete.
  if (TrimBlanks(path).size() <= 3) return false;
  // The guard sees the absolute and the long spelling; the final path, with
  // every link on the way resolved, follows once the entry is open.
  DWORD listed = ::GetFileAttributesW(path.c_str());
  if (listed == INVALID_FILE_ATTRIBUTES) return false;
  std::wstring full = WithoutTrailingSeparators(FullPath(path));
  if (full.empty()) return false;
  std::wstring longForm = WithoutTrailingSeparators(LongPath(full));
  // The guard keeps folders, and the folders that contain them, from being
  // taken away; a plain file is neither. It is consulted only for what is
  // not a plain file both as listed and as opened: building it looks up
  // every well-known folder (over a tenth of a second under Wine), which
  // the install-drive probe would otherwise pay at start-up for its file.
  constexpr DWORD kFolderLike = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  bool plainFile = !(listed & kFolderLike);
  auto refused = [&] { return Guard().Refuses(full) || Guard().Refuses(longForm); };
  if (!plainFile && refused()) return false;

  UniqueFile entry = OpenForDelete(ExtendedPath(longForm));
  if (!entry) return false;
  DWORD attributes = AttributesOf(entry.get());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (plainFile && (attributes & kFolderLike)) {
    plainFile = false;  // replaced since it was listed
    if (refused()) return false;
  }
  // Opened as the entry itself, a link shows its own name; anything else
  // means a link on the way there.
  if (!expectedFinal.empty()) {
    const std::wstring opened = OpenedPath(entry.get());
    if (opened.empty() || !SamePathText(opened, expectedFinal)) {
      ::SetLastError(kErrorStoppedOnLink);
      return false;
    }
  }
  std::wstring resolved = FinalPath(entry.get());
  // A link named as given is removed as a link, whatever it points to.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return DisposeOf(entry.get());
  if (listed & FILE_ATTRIBUTE_REPARSE_POINT) return false;

  if (!resolved.empty()) {
    if (!plainFile && Guard().Refuses(resolved)) return false;
    // The entry must be the one its folder lists under that name; otherwise
    // it is a link the system resolved on opening.
    std::size_t cut = longForm.find_last_of(L'\\');
    if (cut != std::wstring::npos) {
      std::wstring parentFinal = FinalPathOf(ExtendedPath(longForm.substr(0, cut + 1)));
      if (!parentFinal.empty() && !SamePathText(resolved, JoinPath(parentFinal, longForm.substr(cut + 1))))
        return false;
    }
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DisposeOf(entry.get());
  entry.reset();
  return RemoveFolderTree(resolved.empty() ? ExtendedPath(longForm) : resolved);
}

bool ShellOperation(UINT operation, const std::wstring& to, const std::wstring& from) {
  if (to.empty() || from.empty()) return false;
  // Wine's shell reports a move of a missing file as done; whole-path
  // operations need their source, so its absence is a failure everywhere.
  if (::GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  // Both lists end with two NULs: one here, one from c_str().
  std::wstring fromList = from + L'\0';
  std::wstring toList = to + L'\0';
  SHFILEOPSTRUCTW op{};
  op.hwnd = nullptr;
  op.wFunc = operation;
  op.pFrom = fromList.c_str();
  op.pTo = toList.c_str();
  op.fFlags = kShellFlags;
  return ::SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

// Writes `size` bytes to a new or truncated file, removing it again when the
// bytes cannot all be written (a full disk) so that no half file is left.
bool WriteBytes(const std::wstring& path, const std::uint8_t* data, std::size_t size) {
  // The rights of "wb" plus DELETE for the clean-up; where DELETE is not
  // granted the file is truncated instead.
  bool canDelete = true;
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file && ::GetLastError() == ERROR_ACCESS_DENIED) {
    canDelete = false;
    file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  if (!file) return false;
  while (size > 0) {
    DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file.get(), data, piece, &written, nullptr) || written == 0) {
      if (canDelete) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition));
      } else {
        LARGE_INTEGER zero{};
        if (::SetFilePointerEx(file.get(), zero, nullptr, FILE_BEGIN)) ::SetEndOfFile(file.get());
      }
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
    if (static_cast<std::uint64_t>(size.QuadPart) > bytes.max_size()) return false;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  std::vector<std::uint8_t> piece(kReadPiece);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), piece.data(), kReadPiece, &got, nullptr)) {
      bytes.clear();
      return false;
    }
    if (got == 0) return true;
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + got);
  }
}

bool WriteWholeFile(const std::wstring& path, std::span<const std::uint8_t> bytes) {
  return WriteBytes(path, bytes.data(), bytes.size());
}

bool WriteFileRange(const std::wstring& path, std::size_t start, std::size_t count,
                    std::span<const std::uint8_t> bytes) {
  std::size_t available = start < bytes.size() ? bytes.size() - start : 0;
  std::size_t length = std::min(count, available);
  return WriteBytes(path, length ? bytes.data() + start : nullptr, length);
}

bool DeletePath(const std::wstring& path) { return RemovePath(path); }

bool DeleteTree(const std::wstring& path) { return RemovePath(path); }

bool DeleteTree(const std::wstring& path, std::wstring_view expectedFinal) {
  if (expectedFinal.empty()) return false;
  return RemovePath(path, expectedFinal);
}

bool DeleteFileAt(const std::wstring& path, std::wstring_view expectedFinal) {
  // Without backup semantics a folder does not open: files and file links
  // only. A removal makes this call for every file, so it asks for nothing
  // it does not need: the name, then the deletion itself.
  UniqueFile entry(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!entry) {
    if (::GetLastError() == ERROR_ACCESS_DENIED && IsFolder(path)) ::SetLastError(ERROR_DIRECTORY);
    return false;
  }
  const std::wstring opened = OpenedPath(entry.get());
  if (opened.empty() || !SamePathText(opened, expectedFinal)) {
    entry.reset();
    ::SetLastError(kErrorStoppedOnLink);
    return false;
  }
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (::SetFileInformationByHandle(entry.get(), FileDispositionInfo, &disposition, sizeof disposition)) return true;
  // A read-only file: DisposeOf clears the attribute first.
  return DisposeOf(entry.get());
}

bool DeleteOpenEntry(HANDLE entry) { return DisposeOf(entry); }

bool RenameOpenEntry(HANDLE entry, const std::wstring& to) {
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + (to.size() + 1) * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
  std::copy(to.begin(), to.end(), rename->FileName);
  rename->FileName[to.size()] = L'\0';
  return ::SetFileInformationByHandle(entry, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

UniqueFile OpenForReplace(const std::wstring& path, std::wstring_view expectedFinal, DWORD share, bool checkNew) {
  constexpr DWORD kAccess = GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES;
  UniqueFile file(::CreateFileW(path.c_str(), kAccess, share, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file) {
    if (checkNew && !IsEntryAt(file.get(), expectedFinal)) {
      DisposeOf(file.get());
      file.reset();
      ::SetLastError(kErrorStoppedOnLink);
    }
    return file;
  }
  // Wine answers a name held by a host link with "already exists" too.
  if (const DWORD error = ::GetLastError(); error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return {};
  file.reset(::CreateFileW(path.c_str(), kAccess, share, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return {};
  EntryFacts facts;
  if (!QueryEntry(file.get(), facts) ||
      (facts.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) || facts.links != 1 ||
      !IsEntryAt(file.get(), expectedFinal)) {
    file.reset();
    ::SetLastError(kErrorStoppedOnLink);
    return {};
  }
  // Emptied, as creating it again would.
  FILE_END_OF_FILE_INFO end{};
  if (!::SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &end, sizeof end)) return {};
  return file;
}

bool IsProtectedFolder(const std::wstring& path) {
  if (TrimBlanks(path).size() <= 3) return true;
  std::wstring full = WithoutTrailingSeparators(FullPath(path));
  if (full.empty() || Guard().Refuses(full)) return true;
  if (Guard().Refuses(WithoutTrailingSeparators(LongPath(full)))) return true;
  std::wstring resolved = FinalPathOf(full);
  return !resolved.empty() && Guard().Refuses(resolved);
}

bool MovePath(const std::wstring& to, const std::wstring& from) { return ShellOperation(FO_MOVE, to, from); }

bool CopyPath(const std::wstring& to, const std::wstring& from) { return ShellOperation(FO_COPY, to, from); }

bool EnsureFolder(const std::wstring& path) {
  if (path.empty()) return false;
  int result = ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  if (result == ERROR_SUCCESS) return true;
  if (result != ERROR_ALREADY_EXISTS && result != ERROR_FILE_EXISTS) return false;
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ModulePath() {
  // GetModuleFileNameW cuts the path to the buffer without saying how much
  // is needed, so the buffer grows until the path fits.
  std::vector<wchar_t> buffer(520);
  while (buffer.size() <= 32768) {
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

std::wstring TempFolder() {
  wchar_t buffer[520];
  DWORD length = ::GetTempPathW(520, buffer);
  if (length == 0 || length >= 520) return {};
  return std::wstring(buffer, length);
}

std::uint64_t UniqueNumber64() {
  GUID guid{};
  if (SUCCEEDED(::CoCreateGuid(&guid))) {
    return static_cast<std::uint64_t>(guid.Data1) | (static_cast<std::uint64_t>(guid.Data2) << 32) |
           (static_cast<std::uint64_t>(guid.Data3) << 48);
  }
  // CoCreateGuid does not fail in practice; should it, a counter mixed with
  // the clock and the process id still gives distinct names.
  static std::atomic<std::uint64_t> counter{0};
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  return (static_cast<std::uint64_t>(now.QuadPart) * 0x9E3779B97F4A7C15ull) ^
         (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 40) ^ ++counter;
}

}  // namespace pv
