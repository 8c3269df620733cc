#pragma once

namespace pv {

// The version as GetVersionExW reports it. The setup program's manifest
// declares every system up to Windows 10, so the call sees the real version;
// a program without that declaration is told 6.2 on newer systems.
bool IsVistaOrLater();
bool IsWindows10();

}  // namespace pv
