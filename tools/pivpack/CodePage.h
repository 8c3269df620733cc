#pragma once

#include <string>
#include <string_view>

namespace pv {

// Converts UTF-8 text to a Windows ANSI code page (936 by default, the code
// page of the product's users). False when the text has a character the code
// page cannot hold, or the code page is unknown here.
bool Utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string& out);

// The reverse, for reports: text in an ANSI code page as UTF-8. False when
// the bytes are not valid in the code page or it is unknown here.
bool CodePageToUtf8(std::string_view text, unsigned codePage, std::string& out);

}  // namespace pv
