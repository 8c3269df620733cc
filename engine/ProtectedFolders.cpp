#include "engine/ProtectedFolders.h"

#include <algorithm>

namespace pv {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Simple upper-casing of the Latin, Greek and Cyrillic letters (and the
// full-width Latin ones). Folder names outside these scripts compare exactly,
// which only makes the guard refuse less; the well-known folders themselves
// are named in ASCII on disk, user names are where other letters appear.
wchar_t Fold(wchar_t c) {
  if (c < 0x80) return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 0x20) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17E) {
    // Latin Extended-A pairs capital and small letters: even/odd up to U+0137
    // and from U+014A to U+0177, odd/even in between and after.
    bool evenUpper = (c <= 0x137) || (c >= 0x14A && c <= 0x177);
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149) return c;
    bool odd = (c & 1) != 0;
    return (evenUpper == odd) ? static_cast<wchar_t>(c - 1) : c;
  }
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3C9)) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<wchar_t>(c - 0x20);
  return c;
}

std::wstring FoldAll(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = Fold(c);
  return out;
}

bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Fold(text[i]) != Fold(prefix[i])) return false;
  }
  return true;
}

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
  std::wstring text(Trim(path));
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
    out.push_back(Fold(rest[0]));
    out.push_back(L':');
    rest.remove_prefix(2);
  } else if (rest.starts_with(L"\\\\")) {
    rest.remove_prefix(2);
    std::wstring_view server = NextElement(rest);
    std::wstring_view share = NextElement(rest);
    if (server.empty() || share.empty() || HoldsForbidden(server) || HoldsForbidden(share)) return {};
    if (server == L"." || server == L".." || share == L"." || share == L"..") return {};
    out = L"\\\\" + FoldAll(server) + L"\\" + FoldAll(share);
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
    elements.push_back(FoldAll(element));
  }
  for (const std::wstring& element : elements) {
    out.push_back(L'\\');
    out += element;
  }
  return out;
}

bool ProtectedFolders::Refuses(std::wstring_view path) const {
  if (Trim(path).size() <= 3) return true;
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
