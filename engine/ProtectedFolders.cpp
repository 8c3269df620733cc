#include "engine/ProtectedFolders.h"

#include "engine/PathText.h"

#include <algorithm>

namespace pv {

namespace {

// Characters that cannot stand in a file or folder name. A ':' after the
// root names an alternate stream ("dir::$INDEX_ALLOCATION" is the folder
// itself), so such paths are not judged but refused.
bool HoldsForbidden(std::wstring_view element) {
  for (wchar_t c : element) {
    if (c < 0x20 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|') {
      return true;
    }
  }
  return false;
}

// Splits off the next element of a backslash-separated path.
std::wstring_view NextElement(std::wstring_view& rest) {
  std::size_t end = rest.find(L'\\');
  std::wstring_view element = rest.substr(0, end);
  rest = (end == std::wstring_view::npos) ? std::wstring_view() : rest.substr(end + 1);
  return element;
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

}  // namespace

ProtectedFolders::ProtectedFolders(const std::vector<std::wstring>& folders) {
  for (const std::wstring& folder : folders) Add(folder);
}

void ProtectedFolders::Add(std::wstring_view folder) {
  std::wstring canonical = Canonical(folder);
  if (canonical.empty()) return;
  if (std::find(folders_.begin(), folders_.end(), canonical) == folders_.end()) {
    folders_.push_back(std::move(canonical));
  }
}

std::wstring ProtectedFolders::Canonical(std::wstring_view path) {
  std::wstring text(TrimBlanks(path));
  std::replace(text.begin(), text.end(), L'/', L'\\');
  std::wstring_view rest(text);

  // "\\?\C:\x", "\\.\C:\x" and the native "\??\C:\x" name the same file as
  // "C:\x"; "\\?\UNC\server\share" is "\\server\share".
  if (rest.starts_with(L"\\\\?\\") || rest.starts_with(L"\\\\.\\") || rest.starts_with(L"\\??\\")) {
    rest.remove_prefix(4);
    if (StartsWithFolded(rest, L"UNC\\")) {
      rest.remove_prefix(4);
      text = L"\\\\" + std::wstring(rest);
      rest = text;
    }
  }

  std::wstring out;
  if (rest.size() >= 2 && IsAsciiLetter(rest[0]) && rest[1] == L':') {
    // "C:name" is relative to the current folder of drive C.
    if (rest.size() > 2 && rest[2] != L'\\') return {};
    out.push_back(FoldCase(rest[0]));
    out.push_back(L':');
    rest.remove_prefix(2);
  } else if (rest.starts_with(L"\\\\")) {
    rest.remove_prefix(2);
    std::wstring_view server = NextElement(rest);
    std::wstring_view share = NextElement(rest);
    if (server.empty() || share.empty() || HoldsForbidden(server) || HoldsForbidden(share)) return {};
    if (server == L"." || server == L".." || share == L"." || share == L"..") return {};
    out = L"\\\\" + FoldCase(server) + L"\\" + FoldCase(share);
  } else {
    return {};
  }

  std::vector<std::wstring> elements;
  while (!rest.empty()) {
    std::wstring_view element = NextElement(rest);
    if (element.empty() || element == L".") continue;
    if (element == L"..") {
      if (!elements.empty()) elements.pop_back();
      continue;
    }
    while (!element.empty() && (element.back() == L'.' || element.back() == L' ')) element.remove_suffix(1);
    if (element.empty()) continue;
    if (HoldsForbidden(element)) return {};
    elements.push_back(FoldCase(element));
  }
  for (const std::wstring& element : elements) {
    out.push_back(L'\\');
    out += element;
  }
  return out;
}

bool ProtectedFolders::Refuses(std::wstring_view path) const {
  if (TrimBlanks(path).size() <= 3) return true;
  std::wstring canonical = Canonical(path);
  if (canonical.empty()) return true;

  // A root has no element after the drive or the share.
  bool isRoot = (canonical.size() == 2 && canonical[1] == L':') ||
                (canonical.starts_with(L"\\\\") && std::count(canonical.begin(), canonical.end(), L'\\') == 3);
  if (isRoot) return true;

  for (const std::wstring& folder : folders_) {
    if (folder == canonical) return true;
    if (folder.size() > canonical.size() && folder.starts_with(canonical) && folder[canonical.size()] == L'\\') {
      return true;
    }
  }
  return false;
}

}  // namespace pv
