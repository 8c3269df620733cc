#include "ui/StringConverter.h"

namespace pv {

namespace {

const wchar_t kEmptyWide[] = L"";
const char kEmptyNarrow[] = "";

}  // namespace

const wchar_t* StringConverter::ToWide(const char* text, UINT codePage) {
  if (!text) return kEmptyWide;
  const int needed = ::MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (needed <= 0) return kEmptyWide;
  auto buffer = std::make_unique<wchar_t[]>(needed + 1);
  const int written = ::MultiByteToWideChar(codePage, 0, text, -1, buffer.get(), needed + 1);
  buffer[written > 0 ? written : 0] = L'\0';
  wide_.push_back(std::move(buffer));
  return wide_.back().get();
}

const char* StringConverter::ToNarrow(const wchar_t* text, UINT codePage) {
  if (!text) return kEmptyNarrow;
  const int needed = ::WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return kEmptyNarrow;
  auto buffer = std::make_unique<char[]>(needed + 1);
  const int written = ::WideCharToMultiByte(codePage, 0, text, -1, buffer.get(), needed + 1, nullptr, nullptr);
  buffer[written > 0 ? written : 0] = '\0';
  narrow_.push_back(std::move(buffer));
  return narrow_.back().get();
}

std::wstring ToWide(std::string_view text, UINT codePage) {
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return {};
  const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  const int written =
      ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), needed);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

std::string ToNarrow(std::wstring_view text, UINT codePage) {
  text = text.substr(0, text.find(L'\0'));
  if (text.empty()) return {};
  const int needed =
      ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<std::size_t>(needed), '\0');
  const int written = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), needed,
                                            nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

}  // namespace pv
