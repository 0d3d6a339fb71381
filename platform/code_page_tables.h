// SPDX-License-Identifier: GPL-2.0-or-later
// The character tables of a code page, read from iconv once, on first use.
#ifndef VELM_PLATFORM_CODE_PAGE_TABLES_H
#define VELM_PLATFORM_CODE_PAGE_TABLES_H

#include "codepage.h"
#include "composition.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

constexpr std::uint16_t unmapped = 0xFFFF; // no lead byte is 0xFF, so no real code collides
// The default character, which stands for every unit the code page lacks.
constexpr std::uint16_t default_char = '?';

struct CodePage {
    bool dbcs = false;
    WCHAR uni_default = u'?';
    std::array<WCHAR, 256> single{};           // byte -> unit for bytes that are not lead bytes
    std::array<std::uint16_t, 256> lead_row{}; // 0: not a lead byte, else 1 + row in pairs
    std::vector<WCHAR> pairs;                  // pair_index(row, trail byte) -> unit
    std::vector<std::uint16_t> from_unicode;   // unit -> byte or lead << 8 | trail
    bool ascii = false; // bytes and units below 0x80 stand for each other, both ways
    // Single-byte code pages only: unit -> byte, the default character where unmapped.
    std::vector<unsigned char> to_byte;
    // Single-byte code pages only: every unit from this one to U+00FF is the byte of the same
    // value and back, as in Latin-1 (0x100: no unit above ASCII is).
    WCHAR same_byte_from = 0x100;
    // The marks that compose with some base to a character of the code page.
    MarkRange composing_marks{0xFFFF, 0};
};

// Rows count from 1 (0 marks a byte that is not a lead byte); callers pass only rows >= 1.
inline std::size_t pair_index(unsigned row, unsigned trail) noexcept {
    // cppcheck-suppress integerOverflow ; unsigned arithmetic, and row is never 0
    return (std::size_t{row} - 1) * 256 + trail;
}

// The tables of code page `number` (CP_ACP: the process's ANSI code page). Null, with `error`
// set, for a code page the layer does not offer or iconv lacks (ERROR_INVALID_PARAMETER), or
// whose tables cannot be read for the moment (ERROR_NOT_ENOUGH_MEMORY,
// ERROR_TOO_MANY_OPEN_FILES).
const CodePage *code_page(UINT number, DWORD &error) noexcept;

} // namespace platform

#endif
