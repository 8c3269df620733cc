#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace pv {

// SHA-256 of the bytes (FIPS 180-4) as 64 upper-case hexadecimal digits, the
// form package managers list an installer's hash in.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace pv
