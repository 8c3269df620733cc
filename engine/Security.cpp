#include "engine/Security.h"

#include <aclapi.h>

#include <vector>

#include "engine/SystemVersion.h"
#include "ui/Handles.h"

namespace pv {

bool GrantEveryoneFullControl(const std::wstring& folder) {
  if (!IsVistaOrLater()) return false;

  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  UniqueSid everyone;
  if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, everyone.put())) return false;

  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = ::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                        &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return false;
  UniqueLocal descriptorOwner(descriptor);  // `dacl` points into it

  // An explicit Everyone entry of any kind means someone decided already.
  ULONG count = 0;
  PEXPLICIT_ACCESS_W entries = nullptr;
  if (::GetExplicitEntriesFromAclW(dacl, &count, &entries) == ERROR_SUCCESS) {
    UniqueLocal entriesOwner(entries);
    for (ULONG i = 0; i < count; ++i) {
      const TRUSTEE_W& trustee = entries[i].Trustee;
      if (trustee.TrusteeForm == TRUSTEE_IS_SID && trustee.ptstrName &&
          ::EqualSid(reinterpret_cast<PSID>(trustee.ptstrName), everyone.get())) {
        return true;
      }
    }
  }

  EXPLICIT_ACCESS_W access{};
  access.grfAccessPermissions = FILE_ALL_ACCESS;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone.get());

  PACL merged = nullptr;
  error = ::SetEntriesInAclW(1, &access, dacl, &merged);
  if (error != ERROR_SUCCESS) return false;
  UniqueLocal mergedOwner(merged);

  // SetNamedSecurityInfoW wants a writable name; a copy of any length will do.
  std::vector<wchar_t> name(folder.begin(), folder.end());
  name.push_back(L'\0');
  error = ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, merged,
                                  nullptr);
  return error == ERROR_SUCCESS;
}

bool LinkedTokenIsAdmin(HANDLE token) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof(sid);
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize)) return false;

  TOKEN_LINKED_TOKEN linked{};
  DWORD returned = 0;
  if (!::GetTokenInformation(token, TokenLinkedToken, &linked, sizeof(linked), &returned)) return false;
  UniqueHandle linkedOwner(linked.LinkedToken);

  BOOL member = FALSE;
  if (!::CheckTokenMembership(linked.LinkedToken, sid, &member)) return false;
  return member != FALSE;
}

}  // namespace pv
