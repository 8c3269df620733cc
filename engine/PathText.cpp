#include "engine/PathText.h"

#include <algorithm>

namespace pv {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::wstring WithBackslashes(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
  const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  const std::size_t keep = (path.size() >= 3 && path[1] == L':' && separator(path[2])) ? 3 : 1;
  while (path.size() > keep && separator(path.back())) path.pop_back();
  return path;
}

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring joined(folder);
  if (joined.empty() || joined.back() != L'\\') joined += L'\\';
  joined += name;
  return joined;
}

wchar_t FoldCase(wchar_t c) {
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

std::wstring FoldCase(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = FoldCase(c);
  return out;
}

bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (FoldCase(text[i]) != FoldCase(prefix[i])) return false;
  }
  return true;
}

bool IsInsideFolder(std::wstring_view path, std::wstring_view folder) {
  while (!folder.empty() && folder.back() == L'\\') folder.remove_suffix(1);
  if (folder.empty()) return false;
  return path.size() > folder.size() + 1 && path[folder.size()] == L'\\' && StartsWithFolded(path, folder);
}

}  // namespace pv
