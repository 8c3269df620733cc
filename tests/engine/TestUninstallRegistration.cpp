#include <gtest/gtest.h>

#include <windows.h>

#include "engine/Product.h"
#include "engine/RegKey.h"
#include "engine/UninstallRegistration.h"

using namespace pv;

namespace {

constexpr REGSAM kView32 = KEY_WOW64_32KEY;
constexpr wchar_t kRedirected[] = L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
constexpr wchar_t kMakerScratch[] = L"SOFTWARE\\Tervaset";

void WipeEntry() {
  pv::RegKey parent;
  if (parent.Open(HKEY_LOCAL_MACHINE, pv::product::kUninstallParentKey, KEY_ALL_ACCESS | kView32) == ERROR_SUCCESS) {
    ::RegDeleteTreeW(parent.get(), pv::product::kUninstallKeyName);
  }
}

// The registration functions use their fixed keys; the tests own them in
// this prefix and leave them as they found them: absent.
class UninstallRegistration : public testing::Test {
 protected:
  void SetUp() override { WipeEntry(); }
  void TearDown() override {
    WipeEntry();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kMakerScratch);
  }

  // Writes "UninstallString" raw, as some other installer might have.
  static void PlantUninstallString(DWORD type, const void* data, DWORD bytes) {
    pv::RegKey entry;
    ASSERT_EQ(entry.Create(HKEY_LOCAL_MACHINE, pv::product::kUninstallKey, KEY_ALL_ACCESS | kView32), ERROR_SUCCESS);
    ASSERT_EQ(entry.SetRaw(L"UninstallString", type, data, bytes), ERROR_SUCCESS);
  }
};

struct Value {
  DWORD type = 0;
  std::vector<BYTE> data;
};

Value ReadValue(HKEY key, const wchar_t* name) {
  Value value;
  DWORD bytes = 0;
  if (::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &bytes) != ERROR_SUCCESS) return {};
  value.data.resize(bytes);
  ::RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &bytes);
  return value;
}

std::vector<BYTE> SzBytes(const std::wstring& text) {
  const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

TEST_F(UninstallRegistration, WritesItsValuesInThe32BitView) {
  ASSERT_TRUE(pv::WriteUninstallRegistration(L"D:\\Tervaset\\Orvane", 30001, 5 * 1024 + 1));

  pv::RegKey entry;
  ASSERT_EQ(entry.Open(HKEY_LOCAL_MACHINE, pv::product::kUninstallKey, KEY_READ | kView32), ERROR_SUCCESS);
  EXPECT_EQ(entry.view(), kView32);
  DWORD values = 0;
  ASSERT_EQ(::RegQueryInfoKeyW(entry.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 17u);
  const std::wstring uninstaller = L"D:\\Tervaset\\Orvane\\unins000.exe";
  const struct {
    const wchar_t* name;
    std::wstring text;
  } texts[] = {{L"DisplayName", L"Pellio"},
               {L"DisplayIcon", uninstaller},
               {L"HelpLink", pv::product::kHelpLink},
               {L"UninstallString", uninstaller},
               {L"Publisher", L"Tervaset"},
               {L"Lang", L"2052"},
               {L"DisplayVersion", L"1.0.0"},
               {L"InstallLocation", L"D:\\Tervaset\\Orvane"},
               {L"QuietUninstallString", L"\"" + uninstaller + L"\" /q"},
               {L"URLInfoAbout", pv::product::kHelpLink}};
  for (const auto& expected : texts) {
    Value value = ReadValue(entry.get(), expected.name);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << testing::PrintToString(std::wstring(expected.name));
    EXPECT_EQ(value.data, SzBytes(expected.text)) << testing::PrintToString(std::wstring(expected.name));
  }
  // The size is rounded up to whole kilobytes.
  for (const auto& [name, number] : {std::pair{L"Channel", 30001u},
                                     {L"VersionMajor", 1u},
                                     {L"VersionMinor", 0u},
                                     {L"EstimatedSize", 6u},
                                     {L"NoModify", 1u},
                                     {L"NoRepair", 1u}}) {
    Value value = ReadValue(entry.get(), name);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << testing::PrintToString(std::wstring(name));
    ASSERT_EQ(value.data.size(), 4u) << testing::PrintToString(std::wstring(name));
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(value.data.data()), number) << testing::PrintToString(std::wstring(name));
  }
  std::wstring date;
  ASSERT_EQ(entry.QueryText(L"InstallDate", 16, date), ERROR_SUCCESS);
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  EXPECT_EQ(date.size(), 8u);
  EXPECT_EQ(date.substr(0, 4), std::to_wstring(now.wYear));
  EXPECT_EQ(pv::ReadDisplayVersion(), L"1.0.0");

  EXPECT_EQ(pv::ReadUninstallString(), uninstaller);

  // 64-bit view: only under WOW6432Node.
  pv::RegKey native;
  EXPECT_EQ(native.Open(HKEY_LOCAL_MACHINE, pv::product::kUninstallKey, KEY_READ | KEY_WOW64_64KEY),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(native.Open(HKEY_LOCAL_MACHINE, kRedirected, KEY_READ | KEY_WOW64_64KEY), ERROR_SUCCESS);
  EXPECT_EQ(native.view(), static_cast<REGSAM>(KEY_WOW64_64KEY));

  // Writing again replaces the values.
  ASSERT_TRUE(pv::WriteUninstallRegistration(L"E:\\Other", 7));
  EXPECT_EQ(pv::ReadUninstallString(), L"E:\\Other\\unins000.exe");
}

TEST_F(UninstallRegistration, ReadsExpandableTextUnexpanded) {
  const std::wstring text = L"%SystemRoot%\\Tervaset\\unins000.exe";
  PlantUninstallString(REG_EXPAND_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
  EXPECT_EQ(pv::ReadUninstallString(), text);
}

// The system adds a missing terminator when the character after the given
// bytes is NUL; planting from a buffer that goes on with "Z" keeps the data
// as given.
TEST_F(UninstallRegistration, ReadsOddOrUnterminatedDataAsFarAsStored) {
  const std::wstring text = L"C:\\Orvane\\unins000.exe";
  const std::wstring buffer = text + L"ZZ";
  const DWORD bytes = static_cast<DWORD>(text.size() * 2);
  PlantUninstallString(REG_SZ, buffer.c_str(), bytes);  // no terminator
  EXPECT_EQ(pv::ReadUninstallString(), text);
  PlantUninstallString(REG_SZ, buffer.c_str(), bytes + 1);  // and half a character after
  EXPECT_EQ(pv::ReadUninstallString(), text);
  PlantUninstallString(REG_SZ, buffer.c_str(), bytes - 1);  // half of the last character
  EXPECT_EQ(pv::ReadUninstallString(), text.substr(0, text.size() - 1));
  const std::wstring terminated = text + L'\0' + L"Z";
  PlantUninstallString(REG_EXPAND_SZ, terminated.c_str(), bytes + 1);  // half a terminator
  EXPECT_EQ(pv::ReadUninstallString(), text);
  const std::wstring embedded(L"C:\\a\0junk", 9);
  PlantUninstallString(REG_SZ, embedded.c_str(), 18);
  EXPECT_EQ(pv::ReadUninstallString(), L"C:\\a");
  PlantUninstallString(REG_SZ, buffer.c_str(), 0);
  EXPECT_EQ(pv::ReadUninstallString(), L"");
  PlantUninstallString(REG_SZ, buffer.c_str(), 1);
  EXPECT_EQ(pv::ReadUninstallString(), L"");
}

TEST_F(UninstallRegistration, ReadsAtMost520Characters) {
  const std::wstring full = std::wstring(520, L'x') + L"ZZ";
  PlantUninstallString(REG_SZ, full.c_str(), 520 * 2);  // fits without its terminator
  EXPECT_EQ(pv::ReadUninstallString(), full.substr(0, 520));
  PlantUninstallString(REG_SZ, full.c_str(), 521 * 2);  // does not fit
  EXPECT_EQ(pv::ReadUninstallString(), L"");
  const std::wstring longer(4000, L'y');
  PlantUninstallString(REG_SZ, longer.c_str(), 4001 * 2);
  EXPECT_EQ(pv::ReadUninstallString(), L"");
  const std::wstring fitting(519, L'w');
  PlantUninstallString(REG_SZ, fitting.c_str(), 520 * 2);
  EXPECT_EQ(pv::ReadUninstallString(), fitting);
}

TEST_F(UninstallRegistration, OtherTypesAndMissingDataGiveNothing) {
  EXPECT_EQ(pv::ReadUninstallString(), L"");  // no entry
  const DWORD number = 42;
  PlantUninstallString(REG_DWORD, &number, sizeof(number));
  EXPECT_EQ(pv::ReadUninstallString(), L"");
  const wchar_t multi[] = L"C:\\a\0C:\\b\0";
  PlantUninstallString(REG_MULTI_SZ, multi, sizeof(multi));
  EXPECT_EQ(pv::ReadUninstallString(), L"");
  pv::RegKey entry;
  ASSERT_EQ(entry.Open(HKEY_LOCAL_MACHINE, pv::product::kUninstallKey, KEY_ALL_ACCESS | kView32), ERROR_SUCCESS);
  ASSERT_EQ(::RegDeleteValueW(entry.get(), L"UninstallString"), ERROR_SUCCESS);
  EXPECT_EQ(pv::ReadUninstallString(), L"");  // entry without the value
}

TEST_F(UninstallRegistration, RemovesTheEntryAndNothingElse) {
  pv::RegKey parent;
  ASSERT_EQ(parent.Open(HKEY_LOCAL_MACHINE, pv::product::kUninstallParentKey, KEY_READ | kView32), ERROR_SUCCESS);
  auto subkeys = [&] {
    DWORD count = 0;
    ::RegQueryInfoKeyW(parent.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr);
    return count;
  };
  const DWORD before = subkeys();
  EXPECT_FALSE(pv::RemoveUninstallRegistration());  // nothing there: nothing changes
  EXPECT_EQ(subkeys(), before);

  ASSERT_TRUE(pv::WriteUninstallRegistration(L"D:\\Tervaset\\Orvane", 30001));
  EXPECT_EQ(subkeys(), before + 1);
  EXPECT_TRUE(pv::RemoveUninstallRegistration());
  EXPECT_EQ(subkeys(), before);
  EXPECT_EQ(pv::ReadUninstallString(), L"");
  EXPECT_EQ(pv::ReadDisplayVersion(), L"");
}

TEST_F(UninstallRegistration, RemovesTheMakerKeyOnlyWithoutSubkeys) {
  EXPECT_FALSE(pv::RemoveMakerKey());  // nothing there

  pv::RegKey zembra;
  ASSERT_EQ(zembra.Create(HKEY_CURRENT_USER, L"SOFTWARE\\Tervaset\\Zembra", KEY_ALL_ACCESS | kView32), ERROR_SUCCESS);
  ASSERT_EQ(zembra.SetText(L"Token", L"abc"), ERROR_SUCCESS);
  zembra.Close();
  EXPECT_TRUE(pv::RemoveMakerKey());
  pv::RegKey probe;
  EXPECT_EQ(probe.Open(HKEY_CURRENT_USER, L"SOFTWARE\\Tervaset\\Zembra", KEY_READ | kView32), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(probe.Open(HKEY_CURRENT_USER, kMakerScratch, KEY_READ | kView32), ERROR_SUCCESS);  // the parent stays

  // Neither deletion function takes a key that has subkeys: it stays whole.
  ASSERT_EQ(zembra.Create(HKEY_CURRENT_USER, L"SOFTWARE\\Tervaset\\Zembra\\Cache", KEY_ALL_ACCESS | kView32),
            ERROR_SUCCESS);
  zembra.Close();
  EXPECT_FALSE(pv::RemoveMakerKey());
  EXPECT_EQ(probe.Open(HKEY_CURRENT_USER, L"SOFTWARE\\Tervaset\\Zembra\\Cache", KEY_READ | kView32), ERROR_SUCCESS);
}

TEST(RegKey, ReopeningClosesTheOldKeyAndFailuresHoldNothing) {
  pv::RegKey key;
  EXPECT_FALSE(key);
  EXPECT_EQ(key.SetDword(L"x", 1), ERROR_INVALID_HANDLE);
  std::wstring text = L"stale";
  EXPECT_EQ(key.QueryText(L"x", 10, text), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(key.DeleteSubKey(L"x"), ERROR_INVALID_HANDLE);

  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE", KEY_READ | KEY_WOW64_32KEY), ERROR_SUCCESS);
  EXPECT_EQ(key.view(), static_cast<REGSAM>(KEY_WOW64_32KEY));
  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE", KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(key.view(), 0u);
  EXPECT_NE(key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\NoSuchKey-pv-9F3A", KEY_READ), ERROR_SUCCESS);
  EXPECT_FALSE(key);
}

}  // namespace
