#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace pv {

// A product version as the product definition, the version resource and the
// registration's "DisplayVersion" write it: three or four numbers of 0 to
// 65535 with dots between them ("1.2.3", "1.2.3.4"); a missing fourth is 0.
using ProductVersion = std::array<unsigned, 4>;

// The version a text holds; nothing for any other text (blanks, a letter, a
// fifth part, a number above 65535), which then tells no order.
std::optional<ProductVersion> ParseProductVersion(std::wstring_view text);

// Whether installing `ours` over the registered `installed` goes back to an
// older version. A registered text that is not a version (an older build of
// ours writes none, another tool may write anything) never counts as newer.
bool IsDowngrade(std::wstring_view ours, std::wstring_view installed);

}  // namespace pv
