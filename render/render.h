// SPDX-License-Identifier: GPL-2.0-or-later
// The now-playing template language, one renderer for the stand-in service
// and the MPRIS client library. It works on UTF-8 text only: in code pages
// such as 932 a '[' or ']' byte can be the second byte of a character.
//
//   %name%   the field's value (names in lower case, digits and '_'),
//            inserted as plain text, never rendered again; an unknown name
//            stays as typed
//   %%       a percent sign; %[ and %] a literal bracket
//   %B %C %I %U %R %O
//            IRC formatting, as the client's own texts write it: bold,
//            colour (the template's digits after it, %C04 or %C04,01, are
//            the colour), italic, underline, reverse, reset
//   [...]    an optional section, left out whole when a field inside it is
//            empty; sections nest (64 deep; brackets deeper still are
//            dropped); a '[' without its ']' runs to the end, a ']' outside
//            any section is written as it is
//
// The result is one chat line that only the template styles. In the
// template, formatting bytes stay and the other control characters (line
// breaks among them) become spaces. A value is plain text: its control
// characters (formatting ones too), DEL, C1 controls, line and paragraph
// separators and the bidirectional embeddings, overrides and isolates each
// become a space, and a value that starts with a digit or a comma right
// after a colour code is kept from extending it by an empty bold pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "vc.h"

struct TemplateField {
    std::string_view name; // without the percent signs
    std::string_view value;
    bool required = false; // the template may not show it empty
};

struct RenderedLine {
    std::string text;
    // Where the first byte of a field's value is in `text`; npos when none.
    std::size_t first_value = std::string::npos;
};

// Enough UTF-8 to fill a result buffer: a byte of the code page is at most
// one character, at most four bytes of UTF-8.
inline constexpr std::size_t result_text_limit = std::size_t{4} * VC_RESULT_SIZE;

// At most `limit` bytes, cut at a character boundary; empty when the
// template shows a required field that is empty, even in a section: the line
// would have a hole where it names what it is about.
RenderedLine render_template(std::string_view text, std::span<const TemplateField> fields,
                             std::size_t limit);

// Whether the line's first word, what the client executes as the command,
// holds a byte of a field's value: a song tag must not choose the command.
bool command_from_value(const RenderedLine &line);

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
void cut_at_character(std::string &text, std::size_t limit);

// m:ss, or h:mm:ss from an hour on; empty for a time no song has (negative,
// or 1,000 hours and more: streams of unknown length are sent as the
// largest number there is).
std::string duration_text(std::int64_t microseconds);

// Writes `utf8` into a client-library result buffer of VC_RESULT_SIZE bytes,
// in the ANSI code page, shortened at a character boundary until it fits
// with its terminator. `utf8` may be shortened too. 0 on success; non-zero
// when the conversion fails, and then `result` is untouched.
int write_local_result(std::string &utf8, char *result) noexcept;
