// Copies of ASCII text between bytes and units, for the conversions' fast paths.
#ifndef VELM_PLATFORM_ASCII_COPY_H
#define VELM_PLATFORM_ASCII_COPY_H

#include "codepage.h"

#include <cstddef>

namespace platform {

// Each copies all `length` characters and tells whether all of them were ASCII.
bool widen_ascii(const unsigned char *src, std::size_t length, WCHAR *dst) noexcept;
bool narrow_ascii(const WCHAR *src, std::size_t length, char *dst) noexcept;

} // namespace platform

#endif
