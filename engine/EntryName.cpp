#include "engine/EntryName.h"

#include <array>
#include <cwctype>

namespace pv {

namespace {

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'a' && x <= L'z') x = static_cast<wchar_t>(x - L'a' + L'A');
    if (y >= L'a' && y <= L'z') y = static_cast<wchar_t>(y - L'a' + L'A');
    if (x != y) return false;
  }
  return true;
}

bool IsDeviceName(std::wstring_view component) {
  // "CON.txt" and "CON .txt" open the device too.
  std::wstring_view base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  static constexpr std::array<std::wstring_view, 6> kPlain = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (auto device : kPlain)
    if (EqualsIgnoreCase(base, device)) return true;
  if (base.size() == 4 &&
      (EqualsIgnoreCase(base.substr(0, 3), L"COM") || EqualsIgnoreCase(base.substr(0, 3), L"LPT"))) {
    const wchar_t d = base[3];
    // Digits, and the superscript digits Windows also maps to ports.
    if ((d >= L'0' && d <= L'9') || d == 0x00B9 || d == 0x00B2 || d == 0x00B3) return true;
  }
  return false;
}

bool IsAllowedChar(wchar_t c) {
  if (c < 0x20) return false;
  switch (c) {
    case L'<':
    case L'>':
    case L'"':
    case L'|':
    case L'?':
    case L'*':
    case L':':
      return false;
    default:
      return true;
  }
}

}  // namespace

bool IsSafeEntryName(std::wstring_view name) {
  if (name.empty()) return false;
  if (name.front() == L'/' || name.front() == L'\\') return false;  // rooted, UNC, \\?\ prefix
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = name.find_first_of(L"/\\", start);
    const std::wstring_view component =
        name.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start);
    if (component.empty()) return false;
    if (component.back() == L'.' || component.back() == L' ') return false;  // ".", "..", "a.", "a "
    for (wchar_t c : component)
      if (!IsAllowedChar(c)) return false;  // ":" covers drive letters and streams
    if (IsDeviceName(component)) return false;
    if (end == std::wstring_view::npos) break;
    start = end + 1;
  }
  return true;
}

bool MayBeShortName(std::wstring_view name) {
  for (std::size_t at = name.find(L'~'); at != std::wstring_view::npos; at = name.find(L'~', at + 1)) {
    if (at + 1 < name.size() && name[at + 1] >= L'0' && name[at + 1] <= L'9') return true;
  }
  return false;
}

}  // namespace pv
