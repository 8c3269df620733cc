#pragma once

#include <string>
#include <vector>

#include "engine/InstallRoot.h"

namespace pv {

// Every drive root of the machine in the system's order, with its type and
// read-only attribute; fixed, writable drives are probed by writing and
// deleting a small file in their root and asking for the free space.
std::vector<DriveProbe> ProbeDrives();

// The Program Files folder of 32-bit programs where the system has one (64-bit
// Windows): the product and its registration live in the 32-bit views, so its
// default folder does too. Elsewhere the one Program Files folder.
std::wstring ProgramFilesFolder();

// ChooseInstallRootFrom over the probed drives, the Windows folder and
// ProgramFilesFolder: the folder under which "\Tervaset\Orvane" goes.
std::wstring ChooseInstallRoot();

}  // namespace pv
