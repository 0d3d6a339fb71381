// The template renderer: a recursive walk in which each optional section is
// rendered apart and kept only when no field inside it came out empty.
#include "render.h"

#include <algorithm>

namespace {

struct Walk {
    std::string_view text;
    std::size_t at;
    std::span<const TemplateField> fields;
    std::size_t limit;
};

bool is_field_name(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

// Appends text, control characters as spaces, and no more than takes `out`
// one byte past the limit (the caller cuts back to a character boundary).
void append_text(std::string &out, std::string_view text, std::size_t limit) {
    const std::size_t room = out.size() > limit ? 0 : limit + 1 - out.size();
    for (const char c : text.substr(0, room))
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
}

// Renders up to the end of the template or, inside a section, past its ']'.
// `empty_field` tells whether a known field with an empty value was met.
void render_part(Walk &walk, bool in_section, std::string &out, bool &empty_field) {
    const std::string_view text = walk.text;
    while (walk.at < text.size() && out.size() <= walk.limit) {
        const char c = text[walk.at];
        if (c == ']' && in_section) {
            ++walk.at;
            return;
        }
        if (c == '[') {
            ++walk.at;
            std::string section;
            bool section_has_empty = false;
            render_part(walk, true, section, section_has_empty);
            if (!section_has_empty)
                append_text(out, section, walk.limit);
            continue;
        }
        if (c == '%' && walk.at + 1 < text.size()) {
            const char next = text[walk.at + 1];
            if (next == '%' || next == '[' || next == ']') {
                out += next;
                walk.at += 2;
                continue;
            }
            const std::size_t close = text.find('%', walk.at + 1);
            const std::string_view name = close == std::string_view::npos
                                              ? ""
                                              : text.substr(walk.at + 1, close - walk.at - 1);
            if (is_field_name(name)) {
                const auto field =
                    std::find_if(walk.fields.begin(), walk.fields.end(),
                                 [&](const TemplateField &f) { return f.name == name; });
                const std::string_view typed = text.substr(walk.at, close + 1 - walk.at);
                if (field == walk.fields.end()) {
                    append_text(out, typed, walk.limit);
                } else {
                    append_text(out, field->value, walk.limit);
                    empty_field = empty_field || field->value.empty();
                }
                walk.at = close + 1;
                continue;
            }
        }
        append_text(out, text.substr(walk.at, 1), walk.limit);
        ++walk.at;
    }
}

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
void cut_at_character(std::string &text, std::size_t limit) {
    if (text.size() <= limit)
        return;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

} // namespace

std::string render_template(std::string_view text, std::span<const TemplateField> fields,
                            std::size_t limit) {
    Walk walk{text, 0, fields, limit};
    std::string out;
    bool ignored = false;
    render_part(walk, false, out, ignored);
    cut_at_character(out, limit);
    return out;
}

std::string duration_text(std::int64_t microseconds) {
    if (microseconds < 0)
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
