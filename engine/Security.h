#pragma once

#include <windows.h>

#include <string>

namespace pv {

// Gives Everyone full control of the folder open as `folder` (opened with
// READ_CONTROL and WRITE_DAC), inheritable by the files and sub-folders made
// in it from then on, unless the folder's DACL already holds an explicit
// entry for Everyone (of any rights), which is then left as it is. Only on
// Vista and later. True when the folder ends up with such an entry.
//
// The DACL is written to that one object: nothing is propagated to what the
// folder holds already, so no link inside it can carry the grant elsewhere.
bool GrantEveryoneFullControl(HANDLE folder);
// The same for the folder at `path`, opened as in OpenProductFolder: false,
// changing nothing, when it or the folder holding it is a link.
bool GrantEveryoneFullControl(const std::wstring& folder);

// Whether the token's linked token (the full token behind a filtered
// administrator's token) is a member of the built-in Administrators group.
// Any failure counts as "no".
bool LinkedTokenIsAdmin(HANDLE token);

}  // namespace pv
