#pragma once

#include <string>
#include <vector>

#include "engine/InstallRoot.h"

namespace pv {

// Every drive root of the machine in the system's order, with its type and
// read-only attribute; fixed, writable drives are probed by writing and
// deleting a small file in their root and asking for the free space.
std::vector<DriveProbe> ProbeDrives();

// ChooseInstallRootFrom over the probed drives, the Windows folder and the
// Program Files folder: the folder under which "\Tervaset\Orvane" goes.
std::wstring ChooseInstallRoot();

}  // namespace pv
