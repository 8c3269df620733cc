#pragma once

namespace pv {

// Restricts the DLL search of the process to System32, so that DLLs planted
// beside the program (a Downloads folder, the temporary folder) are never
// loaded. The entry's first act, before any DLL that is not a KnownDLL loads.
//
// The delay-loaded system DLLs (comctl32, gdiplus, msimg32, msvfw32) must be
// there: where one is missing (Server Core has no msvfw32) the program ends
// here with a message (none with "/q") and exit code 1, rather than with the
// delay-load exception at first use. Systems without SetDefaultDllDirectories
// (Windows 7 without its DLL-search update) load each of them here, from
// System32 by full path, so that the later load by name finds it loaded.
void HardenDllSearch();

}  // namespace pv
