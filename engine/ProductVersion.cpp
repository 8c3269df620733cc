#include "engine/ProductVersion.h"

namespace pv {

std::optional<ProductVersion> ParseProductVersion(std::wstring_view text) {
  ProductVersion version{};
  std::size_t part = 0;
  std::size_t at = 0;
  while (true) {
    if (part == version.size()) return std::nullopt;
    const std::size_t start = at;
    unsigned value = 0;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9' && at - start < 6) {
      value = value * 10 + static_cast<unsigned>(text[at] - L'0');
      ++at;
    }
    if (at == start || value > 0xFFFF) return std::nullopt;
    version[part++] = value;
    if (at == text.size()) break;
    if (text[at] != L'.') return std::nullopt;
    ++at;
  }
  if (part < 3) return std::nullopt;
  return version;
}

bool IsDowngrade(std::wstring_view ours, std::wstring_view installed) {
  const auto mine = ParseProductVersion(ours);
  const auto theirs = ParseProductVersion(installed);
  return mine && theirs && *mine < *theirs;
}

}  // namespace pv
