#pragma once

#include <windows.h>

#include <string>

namespace pv {

// Gives Everyone full control of `folder`, inherited by its files and
// sub-folders, unless the folder's DACL already holds an explicit entry for
// Everyone (of any rights), which is then left as it is. Only on Vista and
// later. True when the folder ends up with such an entry.
bool GrantEveryoneFullControl(const std::wstring& folder);

// Whether the token's linked token (the full token behind a filtered
// administrator's token) is a member of the built-in Administrators group.
// Any failure counts as "no".
bool LinkedTokenIsAdmin(HANDLE token);

}  // namespace pv
