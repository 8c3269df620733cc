#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

namespace pv {

// A singleton manifest of the Windows Package Manager for an installer
// packed from one of our stubs, from the product definition the stub
// records: identifier (publisher and uninstall key), version, names and
// addresses, the installer's switches and SHA-256, the exit codes we
// document and the Apps & features entry the install registers. The
// licence and the download address are placeholders the vendor fills in.
// False (with `error`) for a file that is no installer (an uninstaller) or
// whose stub records no product or no version.
bool WriteWingetManifest(std::span<const std::uint8_t> installer, std::ostream& out, std::string& error);

}  // namespace pv
