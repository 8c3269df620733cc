#include "engine/LanguageChoice.h"

namespace pv {

namespace {

std::wstring Normalised(const std::wstring& tag) {
  std::wstring out;
  out.reserve(tag.size());
  for (wchar_t c : tag) {
    if (c == L'_') c = L'-';
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    out += c;
  }
  return out;
}

std::wstring PrimarySubtag(const std::wstring& normalised) { return normalised.substr(0, normalised.find(L'-')); }

constexpr int kPrimaryMask = 0x3FF;

}  // namespace

int MatchLanguageTag(const std::vector<ShippedLanguage>& shipped, const std::wstring& tag) {
  const std::wstring wanted = Normalised(tag);
  if (wanted.empty()) return -1;
  for (std::size_t i = 0; i < shipped.size(); ++i) {
    if (Normalised(shipped[i].tag) == wanted) return static_cast<int>(i);
  }
  const std::wstring primary = PrimarySubtag(wanted);
  if (primary.empty()) return -1;
  for (std::size_t i = 0; i < shipped.size(); ++i) {
    if (PrimarySubtag(Normalised(shipped[i].tag)) == primary) return static_cast<int>(i);
  }
  return -1;
}

int MatchLangId(const std::vector<ShippedLanguage>& shipped, int langId) {
  if (langId <= 0) return -1;
  for (std::size_t i = 0; i < shipped.size(); ++i) {
    if (shipped[i].langId == langId) return static_cast<int>(i);
  }
  for (std::size_t i = 0; i < shipped.size(); ++i) {
    if ((shipped[i].langId & kPrimaryMask) == (langId & kPrimaryMask)) return static_cast<int>(i);
  }
  return -1;
}

int ChooseLanguage(const std::vector<ShippedLanguage>& shipped, int fallback, const LanguageRequest& request) {
  if (!request.requestedTag.empty()) {
    const int requested = MatchLanguageTag(shipped, request.requestedTag);
    if (requested >= 0) return requested;
  }
  const int user = MatchLangId(shipped, request.userLangId);
  if (!request.installedTag.empty()) {
    const bool changed = request.installedUserLangId >= 0 && request.installedUserLangId != request.userLangId;
    if (changed && user >= 0) return user;
    const int installed = MatchLanguageTag(shipped, request.installedTag);
    if (installed >= 0) return installed;
  }
  if (user >= 0) return user;
  return fallback >= 0 && fallback < static_cast<int>(shipped.size()) ? fallback : 0;
}

std::wstring FillPlaceholders(const std::wstring& text,
                              const std::vector<std::pair<std::wstring, std::wstring>>& values) {
  std::wstring out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t first = text.find(L'{', at);
    if (first == std::wstring::npos) break;
    const std::size_t close = text.find(L'}', first + 1);
    if (close == std::wstring::npos) break;
    // "{{name}}": the brace nearest the closing one opens the placeholder.
    const std::size_t open = text.rfind(L'{', close);
    out.append(text, at, open - at);
    const std::wstring key = text.substr(open + 1, close - open - 1);
    bool filled = false;
    for (const auto& [name, value] : values) {
      if (name == key) {
        out += value;
        filled = true;
        break;
      }
    }
    if (!filled) out.append(text, open, close - open + 1);
    at = close + 1;
  }
  out.append(text, at, std::wstring::npos);
  return out;
}

}  // namespace pv
