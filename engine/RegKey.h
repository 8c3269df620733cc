#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/Handles.h"

namespace pv {

// Holds one open registry key and the registry view (KEY_WOW64_32KEY or
// KEY_WOW64_64KEY, the mask bits 0x300) it was opened in, so that deleting a
// subkey happens in the same view. Opening again closes the key held before;
// the key is closed with the holder.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  LSTATUS Open(HKEY parent, const wchar_t* path, REGSAM access);
  // RegCreateKeyExW: no class, non-volatile.
  LSTATUS Create(HKEY parent, const wchar_t* path, REGSAM access);
  void Close();

  HKEY get() const { return key_.get(); }
  explicit operator bool() const { return static_cast<bool>(key_); }
  REGSAM view() const { return view_; }

  // REG_SZ or REG_EXPAND_SZ with the terminating NUL stored.
  LSTATUS SetText(const wchar_t* name, std::wstring_view text, DWORD type = REG_SZ);
  LSTATUS SetDword(const wchar_t* name, DWORD value);
  LSTATUS SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes);

  // A REG_SZ or REG_EXPAND_SZ value (not expanded) of at most `maxChars`
  // characters. Data without a terminating NUL, or of an odd byte count,
  // give the characters stored, up to the first NUL. Other types, longer
  // data and missing values give an error and an empty text.
  LSTATUS QueryText(const wchar_t* name, std::size_t maxChars, std::wstring& text) const;

  // Deletes a subkey that has no subkeys of its own, in the holder's view:
  // RegDeleteKeyExW where the system has it, RegDeleteKeyW otherwise.
  LSTATUS DeleteSubKey(const wchar_t* name) const;

 private:
  UniqueKey key_;
  REGSAM view_ = 0;
};

}  // namespace pv
