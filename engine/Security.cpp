#include "engine/Security.h"

#include <aclapi.h>

#include <vector>

#include "engine/FilePaths.h"
#include "engine/SystemVersion.h"
#include "ui/Handles.h"

namespace pv {

bool GrantEveryoneFullControl(HANDLE folder) {
  if (!IsVistaOrLater()) return false;

  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  UniqueSid everyone;
  if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, everyone.put())) return false;

  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = ::GetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                  &descriptor);
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

  // SetSecurityInfo and SetNamedSecurityInfo would carry the new entry into
  // everything below the folder, links included; the kernel's own call
  // sets this object's DACL and nothing else. The descriptor keeps the
  // folder's inheritance from its parent as it was.
  SECURITY_DESCRIPTOR updated;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!::InitializeSecurityDescriptor(&updated, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&updated, TRUE, merged, FALSE) ||
      !::GetSecurityDescriptorControl(descriptor, &control, &revision))
    return false;
  const SECURITY_DESCRIPTOR_CONTROL kept = control & (SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED);
  ::SetSecurityDescriptorControl(&updated, SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED, kept);
  return ::SetKernelObjectSecurity(folder, DACL_SECURITY_INFORMATION, &updated) != FALSE;
}

bool GrantEveryoneFullControl(const std::wstring& folder) {
  std::wstring final;
  UniqueFile handle = OpenProductFolder(FullPath(folder), READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, final);
  return handle && GrantEveryoneFullControl(handle.get());
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
