#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/FileOps.h"
#include "ui/Handles.h"

using namespace pv;

namespace pvtest {

inline std::wstring Hex(std::uint64_t number) {
  std::wstring text;
  for (int shift = 60; shift >= 0; shift -= 4) text.push_back(L"0123456789ABCDEF"[(number >> shift) & 0xF]);
  return text;
}

inline std::wstring Widen(const char* text) {
  std::wstring wide;
  while (*text) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text++)));
  return wide;
}

// Build-tree paths arrive with forward slashes ("Z:/work/..."); Windows
// programs compare backslashed ones.
inline std::wstring WinPath(const char* text) {
  std::wstring path = Widen(text);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

inline bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool WriteText(const std::wstring& path, const char* text, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  pv::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
  if (!file) return false;
  DWORD written = 0;
  DWORD length = 0;
  while (text[length]) ++length;
  return ::WriteFile(file.get(), text, length, &written, nullptr) && written == length;
}

inline std::string ReadText(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  if (!pv::ReadWholeFile(path, bytes)) return "<unreadable>";
  return std::string(bytes.begin(), bytes.end());
}

// Names in a folder, "." and ".." left out.
inline std::vector<std::wstring> Listing(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  std::wstring pattern = folder;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  pv::UniqueFind find(::FindFirstFileW(pattern.c_str(), &data));
  if (!find) return names;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(find.get(), &data));
  return names;
}

// A fresh folder in the temporary folder that goes again with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() : path_(pv::TempFolder() + L"pv-engine-" + Hex(pv::UniqueNumber64())) {
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { pv::DeleteTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

}  // namespace pvtest
