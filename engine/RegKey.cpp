#include "engine/RegKey.h"

#include <algorithm>
#include <vector>

namespace pv {

namespace {

constexpr REGSAM kViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
static_assert(kViewBits == 0x300);

using RegDeleteKeyExWFn = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// Looked up once: the function is missing from systems before Vista x64.
RegDeleteKeyExWFn DeleteKeyEx() {
  static const RegDeleteKeyExWFn function = [] {
    HMODULE advapi = ::GetModuleHandleW(L"Advapi32.dll");
    if (!advapi) advapi = ::LoadLibraryW(L"Advapi32.dll");
    if (!advapi) return RegDeleteKeyExWFn{};
    FARPROC address = ::GetProcAddress(advapi, "RegDeleteKeyExW");
    return reinterpret_cast<RegDeleteKeyExWFn>(reinterpret_cast<void (*)()>(address));
  }();
  return function;
}

}  // namespace

LSTATUS RegKey::Open(HKEY parent, const wchar_t* path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  LSTATUS status = ::RegOpenKeyExW(parent, path, 0, access, &key);
  if (status != ERROR_SUCCESS) return status;
  key_.reset(key);
  view_ = access & kViewBits;
  return status;
}

LSTATUS RegKey::Create(HKEY parent, const wchar_t* path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  LSTATUS status = ::RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  key_.reset(key);
  view_ = access & kViewBits;
  return status;
}

void RegKey::Close() {
  key_.reset();
  view_ = 0;
}

LSTATUS RegKey::SetText(const wchar_t* name, std::wstring_view text, DWORD type) {
  std::wstring terminated(text);
  DWORD bytes = static_cast<DWORD>((terminated.size() + 1) * sizeof(wchar_t));
  return SetRaw(name, type, terminated.c_str(), bytes);
}

LSTATUS RegKey::SetDword(const wchar_t* name, DWORD value) { return SetRaw(name, REG_DWORD, &value, sizeof(value)); }

LSTATUS RegKey::SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
  if (!key_) return ERROR_INVALID_HANDLE;
  return ::RegSetValueExW(key_.get(), name, 0, type, static_cast<const BYTE*>(data), bytes);
}

LSTATUS RegKey::QueryText(const wchar_t* name, std::size_t maxChars, std::wstring& text) const {
  text.clear();
  if (!key_) return ERROR_INVALID_HANDLE;
  std::vector<wchar_t> buffer(maxChars + 1, L'\0');
  DWORD type = 0;
  DWORD bytes = static_cast<DWORD>(maxChars * sizeof(wchar_t));
  LSTATUS status = ::RegQueryValueExW(key_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_UNSUPPORTED_TYPE;
  // Stored data need not end in NUL nor hold whole characters: take the
  // whole characters there are, up to the first NUL.
  std::size_t chars = std::min<std::size_t>(bytes / sizeof(wchar_t), maxChars);
  std::size_t length = 0;
  while (length < chars && buffer[length] != L'\0') ++length;
  text.assign(buffer.data(), length);
  return ERROR_SUCCESS;
}

LSTATUS RegKey::DeleteSubKey(const wchar_t* name) const {
  if (!key_) return ERROR_INVALID_HANDLE;
  if (RegDeleteKeyExWFn deleteKeyEx = DeleteKeyEx()) return deleteKeyEx(key_.get(), name, view_, 0);
  return ::RegDeleteKeyW(key_.get(), name);
}

}  // namespace pv
