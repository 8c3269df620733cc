#pragma once

#include <string>
#include <utility>
#include <vector>

namespace pv {

// Which of the shipped strings tables a run speaks, and the filling of their
// placeholders: byte-level rules, apart from the system calls that supply
// the user's language.

struct ShippedLanguage {
  std::wstring tag;  // "en-US"
  int langId = 0;    // the Windows language id, 0x0409
};

// The table a tag names: the same tag in any letter case, "_" taken for
// "-"; else the first table of the same primary language ("en-GB" and "en"
// find "en-US"). -1 for none.
int MatchLanguageTag(const std::vector<ShippedLanguage>& shipped, const std::wstring& tag);
// The table for a Windows language id: the same id, else the first of the
// same primary language (the low ten bits). -1 for none.
int MatchLangId(const std::vector<ShippedLanguage>& shipped, int langId);

// What a run knows when it chooses.
struct LanguageRequest {
  std::wstring requestedTag;     // "/lang <tag>"; empty without
  int userLangId = 0;            // the user's UI language now
  std::wstring installedTag;     // the uninstaller: the install's language
  int installedUserLangId = -1;  // the user's UI language at the install; -1 unknown
};

// "/lang" when it names a shipped table; for the uninstaller the user's
// language when it changed since the install and is shipped, else the
// install's; then the user's language; then the fallback.
int ChooseLanguage(const std::vector<ShippedLanguage>& shipped, int fallback, const LanguageRequest& request);

// The text with every "{key}" of `values` replaced by its value; other
// braces stay as they are.
std::wstring FillPlaceholders(const std::wstring& text,
                              const std::vector<std::pair<std::wstring, std::wstring>>& values);

}  // namespace pv
