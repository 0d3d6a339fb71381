// SPDX-License-Identifier: GPL-2.0-or-later
// The template renderer: one pass over the template, each open optional
// section rendered apart and kept, when it closes, only if no field inside it
// came out empty.
#include "render.h"

#include <algorithm>
#include <vector>

namespace {

struct Section {
    std::string text;
    std::size_t first_value = std::string::npos; // in `text`
    bool has_empty_field = false;
};

// Sections nest this deep; brackets deeper still are dropped, so that no
// template makes the renderer hold more sections than this.
constexpr std::size_t deepest_section = 64;

constexpr char colour_code = 0x03;

// The formatting escapes (%B, %C...) and, in the same order, the bytes they
// stand for.
constexpr std::string_view escape_letters = "BCIURO";
constexpr std::string_view formatting_bytes = "\x02\x03\x1D\x1F\x16\x0F";

// The byte of the escape `%letter`, 0 when it is none.
char formatting_escape(char letter) {
    const std::size_t at = escape_letters.find(letter);
    return at == std::string_view::npos ? '\0' : formatting_bytes[at];
}

bool is_formatting_byte(char c) {
    return formatting_bytes.find(c) != std::string_view::npos;
}

bool is_field_name(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// The length of the `%name%` at `at`, 0 when there is none there.
std::size_t field_length(std::string_view text, std::size_t at) {
    const std::size_t close = text.find('%', at + 1);
    if (close == std::string_view::npos || !is_field_name(text.substr(at + 1, close - at - 1)))
        return 0;
    return close + 1 - at;
}

// The length of the character at the start of `text` that a value may not
// carry (a control, a separator, a direction mark that outlives the value),
// 0 for any other.
std::size_t blanked_length(std::string_view text) {
    const auto byte = [&](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    if (byte(0) < 0x20 || byte(0) == 0x7F)
        return 1;
    if (byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F)
        return 2; // C1 controls, NEL among them
    if (byte(0) == 0xE2 && byte(1) == 0x80 && byte(2) >= 0xA8 && byte(2) <= 0xAE)
        return 3; // U+2028, U+2029, U+202A-U+202E
    if (byte(0) == 0xE2 && byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9)
        return 3; // U+2066-U+2069
    return 0;
}

// Appends up to `limit` bytes in all (one byte more, for the caller to cut
// back to a character boundary).
void append_limited(std::string &out, std::string_view text, std::size_t limit) {
    const std::size_t room = out.size() > limit ? 0 : limit + 1 - out.size();
    out.append(text.substr(0, room));
}

// Whether what the open sections end in is a colour code, which a digit or a
// comma would extend.
bool ends_in_colour_code(const std::vector<Section> &open) {
    // The longest code is 0x03 and "NN,NN".
    std::string tail;
    for (auto section = open.rbegin(); section != open.rend() && tail.size() < 6; ++section)
        tail.insert(0, section->text.substr(section->text.size() -
                                            std::min<std::size_t>(section->text.size(), 6)));
    const std::size_t code = tail.rfind(colour_code);
    if (code == std::string::npos)
        return false;
    const std::string_view after = std::string_view(tail).substr(code + 1);
    const std::size_t comma = after.find(',');
    const auto digits = [](std::string_view part) {
        return part.size() <= 2 &&
               std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return comma == std::string_view::npos
               ? digits(after)
               : !after.substr(0, comma).empty() && digits(after.substr(0, comma)) &&
                     digits(after.substr(comma + 1));
}

} // namespace

RenderedLine render_template(std::string_view text, std::span<const TemplateField> fields,
                             std::size_t limit) {
    std::vector<Section> open(1); // the line itself, then each open section
    std::size_t dropped = 0;      // brackets open past the deepest section
    bool hole = false;            // a required field shown empty
    const auto close_section = [&] {
        Section closed = std::move(open.back());
        open.pop_back();
        Section &outer = open.back();
        if (closed.has_empty_field)
            return;
        if (outer.first_value == std::string::npos && closed.first_value != std::string::npos)
            outer.first_value = outer.text.size() + closed.first_value;
        append_limited(outer.text, closed.text, limit);
    };
    const auto append_value = [&](std::string_view value) {
        Section &section = open.back();
        if (!value.empty() && (value[0] == ',' || (value[0] >= '0' && value[0] <= '9')) &&
            ends_in_colour_code(open))
            append_limited(section.text, "\x02\x02", limit);
        if (section.first_value == std::string::npos && !value.empty())
            section.first_value = section.text.size();
        for (std::size_t at = 0; at < value.size();) {
            const std::size_t blanked = blanked_length(value.substr(at));
            append_limited(section.text, blanked > 0 ? " " : value.substr(at, 1), limit);
            at += blanked > 0 ? blanked : 1;
        }
    };
    for (std::size_t at = 0; at < text.size() && open.front().text.size() <= limit;) {
        const char c = text[at];
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        std::size_t length = 1;
        if (c == '[' && open.size() <= deepest_section) {
            open.emplace_back();
        } else if (c == '[') {
            ++dropped;
        } else if (c == ']' && dropped > 0) {
            --dropped;
        } else if (c == ']' && open.size() > 1) {
            close_section();
        } else if (c == '%' && (next == '%' || next == '[' || next == ']')) {
            append_limited(open.back().text, std::string_view(&next, 1), limit);
            length = 2;
        } else if (c == '%' && formatting_escape(next) != 0) {
            const char code = formatting_escape(next);
            append_limited(open.back().text, std::string_view(&code, 1), limit);
            length = 2;
        } else if (c == '%' && (length = field_length(text, at)) > 0) {
            const std::string_view name = text.substr(at + 1, length - 2);
            const auto field = std::find_if(fields.begin(), fields.end(),
                                            [&](const TemplateField &f) { return f.name == name; });
            // An unknown field stays as typed.
            if (field == fields.end()) {
                append_limited(open.back().text, text.substr(at, length), limit);
            } else {
                append_value(field->value);
                open.back().has_empty_field = open.back().has_empty_field || field->value.empty();
                hole = hole || (field->required && field->value.empty());
            }
        } else {
            length = 1;
            const bool kept =
                static_cast<unsigned char>(c) >= 0x20 ? c != 0x7F : is_formatting_byte(c);
            append_limited(open.back().text, kept ? std::string_view(&c, 1) : " ", limit);
        }
        at += length;
    }
    // A section without its ']' runs to the end.
    while (open.size() > 1)
        close_section();
    if (hole)
        return {};
    RenderedLine line{std::move(open.front().text), open.front().first_value};
    cut_at_character(line.text, limit);
    if (line.first_value >= line.text.size())
        line.first_value = std::string::npos;
    return line;
}

bool command_from_value(const RenderedLine &line) {
    const std::size_t start = line.text.find_first_not_of(' ');
    return line.first_value != std::string::npos &&
           (start == std::string::npos || line.first_value < line.text.find(' ', start));
}

void cut_at_character(std::string &text, std::size_t limit) {
    if (text.size() <= limit)
        return;
    // A character has at most three continuation bytes; more are no
    // character, and the cut may fall between them.
    std::size_t end = limit;
    while (end > 0 && end + 3 > limit && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

std::string duration_text(std::int64_t microseconds) {
    constexpr std::int64_t longest = std::int64_t{1000} * 3600 * 1000000;
    if (microseconds < 0 || microseconds >= longest)
        return {};
    const std::int64_t seconds = microseconds / 1000000;
    const std::int64_t hours = seconds / 3600;
    const auto two_digits = [](std::int64_t n) {
        return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
    };
    if (hours == 0)
        return std::to_string(seconds / 60) + ":" + two_digits(seconds % 60);
    return std::to_string(hours) + ":" + two_digits(seconds / 60 % 60) + ":" +
           two_digits(seconds % 60);
}
