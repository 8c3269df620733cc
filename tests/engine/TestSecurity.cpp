#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>

#include "engine/Security.h"
#include "tests/engine/EngineTestSupport.h"

using namespace pv;

using pvtest::ScratchFolder;

namespace {

pv::UniqueSid EveryoneSid() {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  pv::UniqueSid sid;
  ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, sid.put());
  return sid;
}

// The folder's DACL as bytes, for comparing before and after.
std::vector<BYTE> DaclBytes(const std::wstring& folder) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  pv::UniqueLocal owner(descriptor);
  if (!dacl) return {};
  const BYTE* begin = reinterpret_cast<const BYTE*>(dacl);
  return std::vector<BYTE>(begin, begin + dacl->AclSize);
}

// The explicit entries for Everyone.
std::vector<EXPLICIT_ACCESS_W> EveryoneEntries(const std::wstring& folder) {
  std::vector<EXPLICIT_ACCESS_W> found;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
    return found;
  }
  pv::UniqueLocal owner(descriptor);
  ULONG count = 0;
  PEXPLICIT_ACCESS_W entries = nullptr;
  if (::GetExplicitEntriesFromAclW(dacl, &count, &entries) != ERROR_SUCCESS) return found;
  pv::UniqueLocal entriesOwner(entries);
  pv::UniqueSid everyone = EveryoneSid();
  for (ULONG i = 0; i < count; ++i) {
    if (entries[i].Trustee.TrusteeForm == TRUSTEE_IS_SID &&
        ::EqualSid(reinterpret_cast<PSID>(entries[i].Trustee.ptstrName), everyone.get())) {
      EXPLICIT_ACCESS_W copy = entries[i];
      copy.Trustee.ptstrName = nullptr;  // points into the freed list
      found.push_back(copy);
    }
  }
  return found;
}

// Gives the folder a DACL of its own (not inherited) with the one entry.
void SetOnlyEntry(const std::wstring& folder, PSID sid, DWORD rights) {
  EXPLICIT_ACCESS_W entry{};
  entry.grfAccessPermissions = rights;
  entry.grfAccessMode = GRANT_ACCESS;
  entry.grfInheritance = NO_INHERITANCE;
  entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  entry.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sid);
  PACL acl = nullptr;
  ASSERT_EQ(::SetEntriesInAclW(1, &entry, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
  pv::UniqueLocal aclOwner(acl);
  std::wstring name = folder;
  ASSERT_EQ(::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    acl, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(Security, GrantsEveryoneAnInheritableFullControlEntry) {
  ScratchFolder scratch;
  // Start from administrators only (Wine gives new folders an Everyone entry).
  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(admins);
  ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size));
  std::wstring folder = scratch.path();
  SetOnlyEntry(folder, admins, FILE_ALL_ACCESS);
  bool exact = EveryoneEntries(folder).empty();
  if (!exact) {
    // Wine keeps no DACL of a file: it derives one from the Unix mode, with
    // "other" as Everyone. The fixture script made a folder without "other".
    folder = pvtest::WinPath(PIVSET_BINARY_DIR "/tests/engine/aclcase/closed");
    if (!pvtest::Exists(folder) || !EveryoneEntries(folder).empty()) {
      GTEST_SKIP() << "no folder without an Everyone entry: run through ctest";
    }
  }
  EXPECT_TRUE(pv::GrantEveryoneFullControl(folder));
  std::vector<EXPLICIT_ACCESS_W> entries = EveryoneEntries(folder);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].grfAccessMode, GRANT_ACCESS);
  EXPECT_EQ(entries[0].grfInheritance & SUB_CONTAINERS_AND_OBJECTS_INHERIT,
            static_cast<DWORD>(SUB_CONTAINERS_AND_OBJECTS_INHERIT));
  // Wine reads the rights back from mode bits, without WRITE_DAC and WRITE_OWNER.
  const DWORD expected =
      exact ? FILE_ALL_ACCESS : FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
  EXPECT_EQ(entries[0].grfAccessPermissions & expected, expected);

  // A second call finds the entry and changes nothing.
  std::vector<BYTE> before = DaclBytes(folder);
  EXPECT_TRUE(pv::GrantEveryoneFullControl(folder));
  EXPECT_EQ(DaclBytes(folder), before);
}

TEST(Security, KeepsAFolderThatHasAnEveryoneEntryAlready) {
  ScratchFolder scratch;
  // Someone gave Everyone read rights only.
  pv::UniqueSid everyone = EveryoneSid();
  SetOnlyEntry(scratch.path(), everyone.get(), FILE_GENERIC_READ);
  std::vector<BYTE> before = DaclBytes(scratch.path());
  ASSERT_FALSE(before.empty());

  EXPECT_TRUE(pv::GrantEveryoneFullControl(scratch.path()));
  EXPECT_EQ(DaclBytes(scratch.path()), before);
}

TEST(Security, MissingFolderIsLeftAlone) {
  ScratchFolder scratch;
  EXPECT_FALSE(pv::GrantEveryoneFullControl(scratch / L"missing"));
  EXPECT_FALSE(pvtest::Exists(scratch / L"missing"));
}

// A folder that is a link (or whose parent is) is not opened up: the grant
// would reach the link's target.
TEST(Security, RefusesAFolderReachedThroughALink) {
  const std::wstring base = pvtest::WinPath(PIVSET_BINARY_DIR "/tests/engine/linkcase");
  if (!pvtest::Exists(base + L"\\toplink")) GTEST_SKIP() << "no links here: run through ctest, which plants them";
  const std::vector<BYTE> sentinel = DaclBytes(base + L"\\sentinel");
  const std::vector<BYTE> inner = DaclBytes(base + L"\\sentinel\\inner");
  EXPECT_FALSE(pv::GrantEveryoneFullControl(base + L"\\toplink"));
  EXPECT_FALSE(pv::GrantEveryoneFullControl(base + L"\\toplink\\inner"));
  EXPECT_EQ(DaclBytes(base + L"\\sentinel"), sentinel);
  EXPECT_EQ(DaclBytes(base + L"\\sentinel\\inner"), inner);
}

// Wine gives every program a full administrator token, so only the call
// itself can be shown here, not the answer for a filtered token.
TEST(Security, LinkedTokenQueryIsSafe) {
  HANDLE raw = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw));
  pv::UniqueHandle token(raw);
  bool admin = pv::LinkedTokenIsAdmin(token.get());
  TOKEN_ELEVATION_TYPE type{};
  DWORD size = 0;
  ASSERT_TRUE(::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size));
  RecordProperty("elevation_type", static_cast<int>(type));
  RecordProperty("linked_token_is_admin", admin ? 1 : 0);
  EXPECT_FALSE(pv::LinkedTokenIsAdmin(nullptr));
  // A token opened without query rights cannot be asked: false, no crash.
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), READ_CONTROL, &raw));
  pv::UniqueHandle blind(raw);
  EXPECT_FALSE(pv::LinkedTokenIsAdmin(blind.get()));
}

}  // namespace
