#include "engine/FilePaths.h"

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
