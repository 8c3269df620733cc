#include "engine/Texts.h"

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <vector>

#include "app/CommandLine.h"
#include "engine/LanguageChoice.h"
#include "engine/Product.h"
#include "ui/Handles.h"

namespace pv {

namespace {

std::vector<ShippedLanguage> Shipped() {
  std::vector<ShippedLanguage> shipped;
  for (int i = 0; i < product::kLanguageCount; ++i)
    shipped.push_back(ShippedLanguage{product::kLanguages[i].tag, product::kLanguages[i].langId});
  return shipped;
}

std::wstring RequestedTag() {
  std::vector<std::wstring> args;
  int count = 0;
  if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
    for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  }
  return ParseCommandLine(args).language;
}

// -1 until the first text is asked for; then set once more at most, by the
// uninstaller on the window's thread before its window shows anything.
std::atomic<int> current{-1};

int Choose(const LanguageRequest& request) { return ChooseLanguage(Shipped(), product::kFallbackLanguage, request); }

}  // namespace

int UserLangId() { return static_cast<int>(::GetUserDefaultUILanguage()); }

const LanguageTable& CurrentLanguage() {
  int index = current.load();
  if (index < 0) {
    LanguageRequest request;
    request.requestedTag = RequestedTag();
    request.userLangId = UserLangId();
    index = Choose(request);
    current = index;
  }
  return product::kLanguages[index];
}

void UseInstalledLanguage(const std::wstring& installedTag, int installedUserLangId) {
  LanguageRequest request;
  request.requestedTag = RequestedTag();
  request.userLangId = UserLangId();
  request.installedTag = installedTag;
  request.installedUserLangId = installedUserLangId;
  current = Choose(request);
}

std::wstring Text(TextId id, std::initializer_list<std::pair<const wchar_t*, std::wstring>> values) {
  const int index = static_cast<int>(id);
  if (index < 0 || index >= kTextCount) return {};
  std::vector<std::pair<std::wstring, std::wstring>> fill{{L"name", product::kDisplayName}};
  for (const auto& [key, value] : values) fill.emplace_back(key, value);
  return FillPlaceholders(CurrentLanguage().texts[index], fill);
}

}  // namespace pv
