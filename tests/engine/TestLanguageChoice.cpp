#include <gtest/gtest.h>

#include "engine/LanguageChoice.h"

using namespace pv;

namespace {

const std::vector<ShippedLanguage> kShipped{{L"zh-CN", 0x0804}, {L"en-US", 0x0409}, {L"de-DE", 0x0407}};
constexpr int kFallback = 1;

int Choose(const std::wstring& requested, int user, const std::wstring& installed = L"", int installedUser = -1) {
  return ChooseLanguage(kShipped, kFallback, LanguageRequest{requested, user, installed, installedUser});
}

}  // namespace

TEST(LanguageChoice, TagsAndIdsFindTheirTableOrOneOfTheirLanguage) {
  EXPECT_EQ(MatchLanguageTag(kShipped, L"en-US"), 1);
  EXPECT_EQ(MatchLanguageTag(kShipped, L"EN_us"), 1);
  EXPECT_EQ(MatchLanguageTag(kShipped, L"en-GB"), 1);
  EXPECT_EQ(MatchLanguageTag(kShipped, L"de"), 2);
  for (const wchar_t* none : {L"", L"-", L"fr-FR", L"e", L"english"}) EXPECT_EQ(MatchLanguageTag(kShipped, none), -1);

  EXPECT_EQ(MatchLangId(kShipped, 0x0407), 2);
  EXPECT_EQ(MatchLangId(kShipped, 0x0809), 1);  // en-GB
  EXPECT_EQ(MatchLangId(kShipped, 0x0C07), 2);  // de-AT
  EXPECT_EQ(MatchLangId(kShipped, 0x040C), -1);
  EXPECT_EQ(MatchLangId(kShipped, 0), -1);
}

TEST(LanguageChoice, TheSwitchThenTheUserThenTheFallback) {
  EXPECT_EQ(Choose(L"", 0x0804), 0);
  EXPECT_EQ(Choose(L"", 0x0809), 1);
  EXPECT_EQ(Choose(L"", 0x040C), kFallback);  // French is not shipped
  EXPECT_EQ(Choose(L"de-DE", 0x0804), 2);
  // A tag that names nothing shipped is as if none were given.
  EXPECT_EQ(Choose(L"fr-FR", 0x0804), 0);
  EXPECT_EQ(Choose(L"fr-FR", 0x040C), kFallback);
  // A fallback out of range still chooses a table.
  EXPECT_EQ(ChooseLanguage(kShipped, 7, LanguageRequest{L"", 0x040C, L"", -1}), 0);
}

TEST(LanguageChoice, TheUninstallerKeepsTheInstallsLanguage) {
  // Installed in English with "/lang" on a Chinese system: still English.
  EXPECT_EQ(Choose(L"", 0x0804, L"en-US", 0x0804), 1);
  // The user's language has changed since and is shipped: that one.
  EXPECT_EQ(Choose(L"", 0x0407, L"en-US", 0x0804), 2);
  // Changed to one that is not shipped: the install's.
  EXPECT_EQ(Choose(L"", 0x040C, L"zh-CN", 0x0804), 0);
  // "/lang" still decides; an install whose language is no longer shipped
  // (or unknown) leaves the user's.
  EXPECT_EQ(Choose(L"zh-CN", 0x0804, L"en-US", 0x0804), 0);
  EXPECT_EQ(Choose(L"", 0x0407, L"fr-FR", 0x0407), 2);
  EXPECT_EQ(Choose(L"", 0x0407, L"en-US", -1), 1);
}

TEST(LanguageChoice, PlaceholdersAreFilledByName) {
  const std::vector<std::pair<std::wstring, std::wstring>> values{{L"name", L"Pellio"}, {L"file", L"{name}"}};
  EXPECT_EQ(FillPlaceholders(L"Installing {name}", values), L"Installing Pellio");
  // A value is not read again for placeholders; unknown and unclosed ones stay.
  EXPECT_EQ(FillPlaceholders(L"{file} {x} {name", values), L"{name} {x} {name");
  EXPECT_EQ(FillPlaceholders(L"{}{name}{{name}}", values), L"{}Pellio{Pellio}");
  EXPECT_EQ(FillPlaceholders(L"", values), L"");
}
