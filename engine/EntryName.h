#pragma once

#include <string_view>

namespace pv {

// Whether a ZIP entry name (after trimming, and without the trailing "/" of a
// folder entry) may be written under the install folder. Names are refused,
// not repaired: an archive that holds such a name is not ours to install.
// Refused: an empty name or component, "." or "..", a leading "/" or "\",
// a drive letter, a UNC or "\\?\" prefix, ":" anywhere (alternate data
// streams), a component ending in a dot or a space (Windows would silently
// drop them and alias another name), characters Windows does not allow in
// names, and the reserved device names (CON, NUL, AUX, PRN, COM0-9, LPT0-9,
// CONIN$, CONOUT$, with or without an extension).
bool IsSafeEntryName(std::wstring_view name);

// Whether a component of the name could be the 8.3 short name the file
// system gives another entry ("LONGFI~1.TXT" for "longfilename.txt"): a "~"
// followed by a digit. Such a name and the long one would land on one file.
bool MayBeShortName(std::wstring_view name);

}  // namespace pv
