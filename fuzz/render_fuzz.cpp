// SPDX-License-Identifier: GPL-2.0-or-later
// The template renderer and the configuration parser over any text. The
// input is a mode byte, then NUL-separated pieces: a template (or, when the
// mode byte is odd, a whole configuration file up to two NULs, whose preset3
// is the template) and the values of the fields in their order below. The
// mode byte also picks the limit. On every input the line holds no CR, LF or
// NUL, is within the limit and cut at a character boundary, and is UTF-8
// where the template and values are; no control, separator or direction
// mark of a value reaches it, nor a formatting byte the template did not
// write; and the renderer's place of the first value byte is where the
// template's own text ends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config.h"
#include "fuzz_support.h"
#include "reference_utf8.h"
#include "render.h"

namespace {

constexpr const char *field_names[] = {"artist",   "title",  "album",  "status",
                                       "position", "length", "player", "url"};

bool well_formed(std::string_view text) {
    return reference::well_formed_utf8(reinterpret_cast<const unsigned char *>(text.data()),
                                       text.size());
}

bool is_formatting(unsigned char c) {
    return c == 0x02 || c == 0x03 || c == 0x0F || c == 0x16 || c == 0x1D || c == 0x1F;
}

// Whether a C1 control, a line or paragraph separator or a bidirectional
// embedding, override or isolate starts at `at`.
bool mark_at(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
    };
    return (byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) ||
           (byte(0) == 0xE2 && byte(1) == 0x80 && byte(2) >= 0xA8 && byte(2) <= 0xAE) ||
           (byte(0) == 0xE2 && byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9);
}

bool has_marks(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (mark_at(text, i))
            return true;
    return false;
}

// Two bytes that render as the first of `value` does: spaces where the
// renderer blanks it.
const char *plain_kind(std::string_view value) {
    if (value.empty())
        return "";
    const auto first = static_cast<unsigned char>(value[0]);
    if (first <= ' ' || first == 0x7F || mark_at(value, 0))
        return "  ";
    if (first == ',' || (first >= '0' && first <= '9'))
        return first == ',' ? ",," : "00";
    return "aa";
}

// Whether the template may write formatting bytes: raw, or as an escape.
bool writes_formatting(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (is_formatting(static_cast<unsigned char>(text[i])))
            return true;
        if (text[i] == '%' && i + 1 < text.size() &&
            std::string_view("BCIURO").find(text[i + 1]) != std::string_view::npos)
            return true;
    }
    return false;
}

RenderedLine render(std::string_view text, const std::vector<std::string> &values,
                    std::size_t limit) {
    std::vector<TemplateField> fields;
    for (std::size_t i = 0; i < std::size(field_names); ++i)
        fields.push_back({field_names[i],
                          i < values.size() ? std::string_view(values[i]) : std::string_view(),
                          i == 1});
    return render_template(text, fields, limit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const unsigned mode = data[0];
    std::string_view rest(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::size_t limits[] = {result_text_limit, 0, 1, 7, 40, 255};
    const std::size_t limit = limits[(mode >> 1) % std::size(limits)];

    std::string text;
    std::vector<std::string> values;
    if (mode & 1) {
        const std::size_t end = rest.find(std::string_view("\0\0", 2));
        text = parse_config(rest.substr(0, end)).preset3;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    } else {
        text = rest.substr(0, rest.find('\0'));
        rest = rest.size() > text.size() ? rest.substr(text.size() + 1) : std::string_view();
    }
    while (!rest.empty()) {
        values.emplace_back(rest.substr(0, rest.find('\0')));
        rest.remove_prefix(std::min(rest.size(), values.back().size() + 1));
    }

    const RenderedLine line = render(text, values, limit);
    check(line.text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
          "no CR, LF or NUL in the line");
    check(line.text.size() <= limit, "the line keeps to the limit");
    // Characters are judged only in UTF-8 (players send nothing else): in
    // other bytes a bracket can stand between the halves of one.
    bool inputs_well_formed = well_formed(text);
    for (const std::string &value : values)
        inputs_well_formed = inputs_well_formed && well_formed(value);
    check(!inputs_well_formed || well_formed(line.text),
          "UTF-8 in, UTF-8 out, cut at a character boundary");
    for (const char c : line.text) {
        const auto byte = static_cast<unsigned char>(c);
        check(byte >= 0x20 ? byte != 0x7F : is_formatting(byte),
              "no control but formatting in the line");
    }
    check(!inputs_well_formed || has_marks(text) || !has_marks(line.text),
          "no separator or direction mark from a value");
    check(writes_formatting(text) ||
              line.text.find_first_of("\x02\x03\x0f\x16\x1d\x1f") == std::string::npos,
          "no formatting byte from a value");

    // The same template with two plain bytes for each value, of the same
    // kind as its first (a digit or comma after a colour code gets the same
    // guard, a space ends the command word the same way):
    // the line agrees up to the first value, which starts at the same place.
    std::vector<std::string> plain;
    for (const std::string &value : values)
        plain.push_back(plain_kind(value));
    const RenderedLine short_line = render(text, plain, limit);
    if (!inputs_well_formed || short_line.first_value == std::string::npos ||
        short_line.first_value + 4 > limit)
        return 0;
    check(line.first_value == short_line.first_value,
          "the first value starts where the template's own text ends");
    check(line.text.compare(0, line.first_value, short_line.text, 0, line.first_value) == 0,
          "the text before the first value is the template's");
    check(command_from_value(line) == command_from_value(short_line),
          "the command word is judged by where the value starts");
    return 0;
}
