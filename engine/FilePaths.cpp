#include "engine/FilePaths.h"

#include <winternl.h>

#include <vector>

#include "engine/PathText.h"

#include "ui/Handles.h"

namespace pv {

namespace {

// Calls a Win32 "fill this buffer" function, growing the buffer when it says
// the text did not fit (the usual contract: the needed size including the NUL).
template <typename Fill>
std::wstring FillText(Fill fill) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length + 1);
  }
  return {};
}

}  // namespace

std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) return {};
  return FillText([&](wchar_t* buffer, DWORD size) { return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
}

std::wstring LongPath(const std::wstring& path) {
  if (path.empty()) return {};
  std::wstring expanded =
      FillText([&](wchar_t* buffer, DWORD size) { return ::GetLongPathNameW(path.c_str(), buffer, size); });
  return expanded.empty() ? path : expanded;
}

std::wstring FinalPath(HANDLE file) {
  return FillText([&](wchar_t* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleW(file, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  });
}

std::wstring FinalPathOf(const std::wstring& path) {
  // Attribute reads need no rights on the file; backup semantics let folders open.
  UniqueFile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return {};
  return FinalPath(file.get());
}

std::wstring OpenedPath(HANDLE file) {
  using QueryFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
  constexpr int kObjectNameInformation = 1;
  if (!query) return {};
  alignas(UNICODE_STRING) unsigned char small[1024];
  std::vector<unsigned char> large;
  unsigned char* buffer = small;
  ULONG size = sizeof small;
  for (int attempt = 0; attempt < 2; ++attempt) {
    ULONG needed = 0;
    const LONG status = query(file, kObjectNameInformation, buffer, size, &needed);
    if (status >= 0) {
      const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
      return name->Buffer ? std::wstring(name->Buffer, name->Length / sizeof(wchar_t)) : std::wstring();
    }
    if (needed <= size) return {};
    large.resize(needed + sizeof(wchar_t));
    buffer = large.data();
    size = static_cast<ULONG>(large.size());
  }
  return {};
}

std::wstring OpenedPathOf(const std::wstring& path) {
  UniqueFile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return {};
  return OpenedPath(file.get());
}

UniqueFile OpenEntry(const std::wstring& path, DWORD access, DWORD share) {
  return UniqueFile(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool QueryEntry(HANDLE entry, EntryFacts& facts) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag) ||
      !::GetFileInformationByHandleEx(entry, FileStandardInfo, &standard, sizeof standard))
    return false;
  facts.attributes = tag.FileAttributes;
  facts.links = standard.NumberOfLinks;
  return true;
}

bool IsReparsePoint(HANDLE entry) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  return !::GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &info, sizeof info) ||
         (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsEntryAt(HANDLE entry, std::wstring_view expected) {
  if (IsReparsePoint(entry)) return false;
  const std::wstring opened = OpenedPath(entry);
  return !opened.empty() && SamePathText(opened, expected);
}

UniqueFile OpenFolderBelow(const std::wstring& base, std::wstring_view relative, DWORD access, DWORD share,
                           std::wstring& final) {
  final.clear();
  const std::wstring baseFinal = OpenedPathOf(base);
  if (baseFinal.empty()) return {};
  // Short (8.3) names in `relative` are compared in their long form, which
  // the final path shows.
  std::wstring levels = WithBackslashes(std::wstring(relative));
  const std::wstring longBase = WithoutTrailingSeparators(LongPath(base));
  const std::wstring longFull = LongPath(JoinPath(base, levels));
  if (IsInsideFolder(longFull, longBase)) levels = longFull.substr(JoinPath(longBase, L"").size());
  UniqueFile folder = OpenEntry(JoinPath(base, relative), access, share);
  if (!folder) return {};
  EntryFacts facts;
  if (!QueryEntry(folder.get(), facts) || !facts.IsFolder()) return {};
  const std::wstring expected = WithoutTrailingSeparators(JoinPath(baseFinal, levels));
  if (!IsEntryAt(folder.get(), expected)) {
    ::SetLastError(kErrorStoppedOnLink);
    return {};
  }
  final = OpenedPath(folder.get());
  return folder;
}

UniqueFile OpenProductFolder(const std::wstring& full, DWORD access, DWORD share, std::wstring& final) {
  final.clear();
  const std::wstring path = WithoutTrailingSeparators(full);
  const std::size_t leaf = path.find_last_of(L'\\');
  if (leaf == std::wstring::npos || leaf + 1 >= path.size()) return {};
  std::size_t cut = leaf > 0 ? path.find_last_of(L'\\', leaf - 1) : std::wstring::npos;
  // A folder right below a drive's root has that root as its base.
  if (cut == std::wstring::npos) cut = leaf;
  std::wstring base = path.substr(0, cut);
  if (base.size() == 2 && base[1] == L':') base += L'\\';
  return OpenFolderBelow(base, std::wstring_view(path).substr(cut + 1), access, share, final);
}

std::wstring FileNamePart(std::wstring_view path) {
  std::size_t cut = path.find_last_of(L"\\/:");
  return std::wstring(cut == std::wstring_view::npos ? path : path.substr(cut + 1));
}

bool SamePathText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathInside(const std::wstring& path, const std::wstring& root) {
  return IsInsideFolder(FullPath(path), FullPath(root));
}

}  // namespace pv
