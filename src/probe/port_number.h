// The port text of an entry turned into a number, as the status probe uses it.
#pragma once

#include <cstdint>
#include <string>

// Full-width forms become their single-byte counterparts, then: white space
// skipped, one optional sign, decimal digits modulo 2^32; no digits give 0.
std::int32_t parsePortNumber(const std::string& text);

// The TCP port probed for a port text: 0 or less becomes 1, then the low 16 bits.
std::uint16_t probePort(const std::string& portText);
