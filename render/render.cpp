// The template renderer: one pass over the template, each open optional
// section rendered apart and kept, when it closes, only if no field inside it
// came out empty.
#include "render.h"

#include <algorithm>
#include <vector>

namespace {

struct Section {
    std::string text;
    bool has_empty_field = false;
};

// Sections nest this deep; brackets deeper still are dropped, so that no
// template makes the renderer hold more sections than this.
constexpr std::size_t deepest_section = 64;

bool is_field_name(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

// Appends text, control characters as spaces, taking `out` at most one byte
// past the limit (the caller cuts back to a character boundary).
void append_text(std::string &out, std::string_view text, std::size_t limit) {
    const std::size_t room = out.size() > limit ? 0 : limit + 1 - out.size();
    for (const char c : text.substr(0, room))
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
}

// The length of the `%name%` at `at`, 0 when there is none there.
std::size_t field_length(std::string_view text, std::size_t at) {
    const std::size_t close = text.find('%', at + 1);
    if (close == std::string_view::npos || !is_field_name(text.substr(at + 1, close - at - 1)))
        return 0;
    return close + 1 - at;
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
    std::vector<Section> open(1); // the line itself, then each open section
    std::size_t dropped = 0;      // brackets open past the deepest section
    bool hole = false;            // a required field shown empty
    const auto close_section = [&] {
        Section closed = std::move(open.back());
        open.pop_back();
        if (!closed.has_empty_field)
            append_text(open.back().text, closed.text, limit);
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
            open.back().text += next;
            length = 2;
        } else if (c == '%' && (length = field_length(text, at)) > 0) {
            const std::string_view name = text.substr(at + 1, length - 2);
            const auto field = std::find_if(fields.begin(), fields.end(),
                                            [&](const TemplateField &f) { return f.name == name; });
            // An unknown field stays as typed.
            if (field == fields.end()) {
                append_text(open.back().text, text.substr(at, length), limit);
            } else {
                append_text(open.back().text, field->value, limit);
                open.back().has_empty_field = open.back().has_empty_field || field->value.empty();
                hole = hole || (field->required && field->value.empty());
            }
        } else {
            length = 1;
            append_text(open.back().text, text.substr(at, 1), limit);
        }
        at += length;
    }
    // A section without its ']' runs to the end.
    while (open.size() > 1)
        close_section();
    if (hole)
        return {};
    cut_at_character(open.front().text, limit);
    return std::move(open.front().text);
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
