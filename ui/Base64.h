#pragma once

#include <string>
#include <string_view>

namespace pv {

// Base64 with the standard alphabet, "=" padding and no line breaks. The skin
// stores its texts and face names this way, the uninstall document its paths.
class Base64 {
 public:
  static std::string Encode(std::string_view bytes);
  // Text that is not valid Base64 (a byte outside the alphabet, a length
  // that is not a multiple of four, padding anywhere but at the end, or
  // non-zero bits under the padding) decodes to false and an empty result.
  static bool Decode(std::string_view text, std::string& bytes);
  // The decoded bytes, or an empty text when the input is not valid.
  static std::string DecodeOrEmpty(std::string_view text);
};

}  // namespace pv
