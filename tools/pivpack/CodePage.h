#pragma once

#include <string>
#include <string_view>

// Converts UTF-8 text to a Windows ANSI code page (936 by default, the code
// page of the product's users). False when the text has a character the code
// page cannot hold, or the code page is unknown here.
bool Utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string& out);
