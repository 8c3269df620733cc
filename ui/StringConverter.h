#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// Converts NUL-terminated text between UTF-8 or an ANSI code page and UTF-16.
// The converter owns every buffer it returns and frees them all when it is
// destroyed; a null input or a failed measurement gives a static "".
class StringConverter {
 public:
  StringConverter() = default;
  StringConverter(const StringConverter&) = delete;
  StringConverter& operator=(const StringConverter&) = delete;

  const wchar_t* ToWide(const char* text, UINT codePage = CP_UTF8);
  const char* ToNarrow(const wchar_t* text, UINT codePage = CP_UTF8);

 private:
  std::vector<std::unique_ptr<wchar_t[]>> wide_;
  std::vector<std::unique_ptr<char[]>> narrow_;
};

// Value-returning forms for code that keeps its own strings. Conversion stops
// at the first NUL, as the NUL-terminated forms do.
std::wstring ToWide(std::string_view text, UINT codePage = CP_UTF8);
std::string ToNarrow(std::wstring_view text, UINT codePage = CP_UTF8);

}  // namespace pv
