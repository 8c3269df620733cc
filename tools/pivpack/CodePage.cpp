#include "tools/pivpack/CodePage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace pv {

#ifndef _WIN32
namespace {

std::string IconvName(unsigned codePage) { return codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage); }

// `text` from one character set into another; `exact` also refuses
// characters iconv could only replace.
bool Convert(const std::string& from, const std::string& to, std::string_view text, bool exact, std::string& out) {
  iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in(text);
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  std::string buffer(in.size() * 4 + 16, '\0');
  char* outPtr = buffer.data();
  std::size_t outLeft = buffer.size();
  const std::size_t r = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  ::iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || inLeft != 0 || (exact && r != 0)) return false;
  out.assign(buffer.data(), buffer.size() - outLeft);
  return true;
}

}  // namespace
#endif

bool Utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string& out) {
  out.clear();
  if (utf8.empty()) return true;
#ifdef _WIN32
  const int wide =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
  BOOL lossy = FALSE;
  const int n =
      ::WideCharToMultiByte(codePage, 0, w.data(), wide, nullptr, 0, nullptr, codePage == CP_UTF8 ? nullptr : &lossy);
  if (n <= 0 || lossy) return false;
  out.resize(static_cast<std::size_t>(n));
  ::WideCharToMultiByte(codePage, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
  return true;
#else
  return Convert("UTF-8", IconvName(codePage), utf8, true, out);
#endif
}

bool CodePageToUtf8(std::string_view text, unsigned codePage, std::string& out) {
  out.clear();
  if (text.empty()) return true;
#ifdef _WIN32
  const int wide =
      ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
  return true;
#else
  return Convert(IconvName(codePage), "UTF-8", text, false, out);
#endif
}

}  // namespace pv
