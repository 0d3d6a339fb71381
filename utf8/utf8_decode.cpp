// SPDX-License-Identifier: GPL-2.0-or-later
// The UTF-8 decoder: count_utf16_units counts the UTF-16 units of a text and
// finds out on the way whether it is plain (well-formed, no U+FFFD);
// decode_utf8 then writes the units with the decoder that the count allows.
// Three parts:
// - The checked decoder, for any text: decode_sequence takes one sequence, or
//   the maximal ill-formed part that becomes one U+FFFD, with every check, and
//   decode_each_sequence runs it over the text, ASCII eight bytes at a time.
//   The count's slow path (count_sequences) steps with decode_sequence too.
// - The fast decoder, for text the count found plain: decode_plain_body takes
//   a sequence's length from its first byte and checks nothing, with runs of
//   ASCII and of two-byte sequences a word at a time; it stops sixteen bytes
//   before the end, and decode_each_sequence takes the rest. Text that is all
//   ASCII (as many units as bytes) is only widened (widen_ascii).
// - The count, 64 bytes (a block) at a time after the first two, which are
//   taken one by one: block_units flags each byte that is out of place after
//   the two bytes before it (misfit) and counts the first bytes, in one loop
//   the compiler vectorises; four_byte_sequences checks each flagged four-byte sequence in
//   full. count_checked stops at the first block with any other flag;
//   count_utf16_units then counts sequence by sequence (count_sequences) from
//   the last first byte before that block to the end of it, and checks blocks
//   again from the sequence there. A last sequence that the end of the text
//   cuts short is counted the same way.
// What the count carries from one block to the next: the units so far; the
// two bytes before the block, read again where they are (the last, shorter
// block is copied with them and padded with zeros, whose units are taken off
// again); and `tail`, the place in the next block of the last byte of a
// four-byte sequence that runs on into it, whose flag is then expected, or -1.
// Across a stretch counted sequence by sequence it carries the units and
// whether the text is still plain; blocks start again at a sequence's first
// byte, with no tail.
#include "utf8_decode.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr char32_t replacement = 0xFFFD;

// The bytes count_checked checks at a time, and how far counting goes sequence
// by sequence from a block that does not fit before it checks blocks again.
constexpr std::size_t block = 64;

bool in_range(unsigned char byte, unsigned char low, unsigned char high) noexcept {
    return byte >= low && byte <= high;
}

// Decodes the code point at `in` and gives the number of bytes it takes. The
// first byte fixes the length and the range the second byte must lie in
// (which rules out overlong forms, surrogates and values above U+10FFFF);
// later bytes are plain continuation bytes. A byte outside its range, or the
// end of the text, ends the sequence there: the bytes taken so far become one
// U+FFFD and that byte starts the next one.
int decode_sequence(const unsigned char *in, const unsigned char *end,
                    char32_t &code_point) noexcept {
    const unsigned char first = in[0];
    int length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    code_point = replacement;
    if (first <= 0x7F) {
        code_point = first;
        return 1;
    }
    if (in_range(first, 0xC2, 0xDF)) {
        length = 2;
    } else if (in_range(first, 0xE0, 0xEF)) {
        length = 3;
        if (first == 0xE0)
            low = 0xA0;
        else if (first == 0xED)
            high = 0x9F;
    } else if (in_range(first, 0xF0, 0xF4)) {
        length = 4;
        if (first == 0xF0)
            low = 0x90;
        else if (first == 0xF4)
            high = 0x8F;
    } else {
        return 1;
    }
    // The first byte's bits below its length marker.
    char32_t value = first & (0x7F >> length);
    // Kept a loop: this is the path of ill-formed text, and the module is small.
#ifdef __GNUC__
#pragma GCC unroll 1
#endif
    for (int taken = 1; taken < length; ++taken) {
        if (end - in <= taken || !in_range(in[taken], low, high))
            return taken;
        value = (value << 6) | (in[taken] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    code_point = value;
    return length;
}

// Words of eight bytes, read as loaded: on a little-endian machine the first
// byte is the lowest. Elsewhere the word steps of the decoder are not
// taken.
constexpr bool little_endian = std::endian::native == std::endian::little;

// The eight bytes at `in` as one word, in the machine's byte order.
std::uint64_t load_word(const unsigned char *in) noexcept {
    std::uint64_t word;
    std::memcpy(&word, in, sizeof word);
    return word;
}

// True when the eight bytes at `in` are all ASCII, each one unit of its own.
bool eight_ascii_bytes(const unsigned char *in) noexcept {
    return (load_word(in) & 0x8080808080808080) == 0;
}

// A two-byte sequence, the form of most Latin, Greek and Cyrillic letters:
// a first byte C2-DF (C0 and C1 would be overlong) and a continuation byte
// before the end.
bool two_byte_sequence(const unsigned char *in, const unsigned char *end) noexcept {
    return in_range(in[0], 0xC2, 0xDF) && end - in >= 2 && (in[1] & 0xC0) == 0x80;
}

// The unit of a two-byte sequence that is one: its bytes less their marker bits
// (C0 and 80), which sum to a constant.
Utf16Unit two_byte_unit(const unsigned char *in) noexcept {
    return static_cast<Utf16Unit>((in[0] << 6) + in[1] - 0x3080);
}

// Non-zero unless byte `b`, after `p1` and `p2` (0 before the text), is where
// it belongs in the blocks that count_checked takes whole: a continuation byte
// exactly where a sequence still needs one, and none of the bytes that need
// the full check. Those are C0, C1, F0-FF and the byte after E0 and ED, whose
// range is narrower than that of other continuation bytes. A four-byte
// sequence is flagged at its first byte and at its last, which needs a look
// three bytes back; four_byte_sequences takes those. Written without
// branches, so that the loop over a block vectorises.
unsigned char misfit(unsigned char b, unsigned char p1, unsigned char p2) noexcept {
    // Bytes with the top bit flipped compare as signed ones: ASCII below 0, continuation bytes
    // 0-63, first bytes of two, three and four bytes 64-95, 96-111 and 112-127.
    const auto sb = static_cast<signed char>(b ^ 0x80);
    const auto s1 = static_cast<signed char>(p1 ^ 0x80);
    const auto s2 = static_cast<signed char>(p2 ^ 0x80);
    const bool continuation = (b & 0xC0) == 0x80;
    const bool expected = (s1 >= 64) | (s2 >= 96);
    const bool unusual = (p1 == 0xE0) | (p1 == 0xED) | ((b | 1) == 0xC1) | (sb >= 112);
    return static_cast<unsigned char>((continuation != expected) | unusual);
}

// The units a byte of well-formed UTF-8 adds: one for the first byte of each
// sequence, one more for that of a four-byte sequence (a surrogate pair).
unsigned char units_of(unsigned char b) noexcept {
    return static_cast<unsigned char>(((b & 0xC0) != 0x80) + (b >= 0xF0));
}

// Flags in `flags` each of the block of bytes at `bytes` that misfits (the two
// bytes before them are read too), and returns the block's first bytes. One
// loop of a fixed length, which the compiler vectorises whole.
unsigned block_units(const unsigned char *bytes, unsigned char *flags) noexcept {
    const unsigned char *before = bytes - 1;
    const unsigned char *two_before = bytes - 2;
    unsigned char units = 0;
    for (std::size_t i = 0; i < block; ++i) {
        flags[i] = misfit(bytes[i], before[i], two_before[i]);
        units = static_cast<unsigned char>(units + ((bytes[i] & 0xC0) != 0x80));
    }
    return units;
}

// Whether a well-formed four-byte sequence starts at `in`, before `end`: a
// first byte F0-F4 and three continuation bytes for a value from U+10000 to
// U+10FFFF. Any first byte is allowed.
bool four_byte_sequence(const unsigned char *in, const unsigned char *end) noexcept {
    if (end - in < 4)
        return false;
    const std::uint32_t value = static_cast<std::uint32_t>(in[0] - 0xF0) << 18 |
                                (in[1] & 0x3Fu) << 12 | (in[2] & 0x3Fu) << 6 | (in[3] & 0x3Fu);
    const bool continuations = ((in[1] ^ 0x80) | (in[2] ^ 0x80) | (in[3] ^ 0x80)) < 0x40;
    return continuations && value - 0x10000 < 0x100000;
}

// The four-byte sequences of a block, found by its flags: each flagged first
// byte must start a well-formed four-byte sequence (checked in full, up to
// `end`) where no sequence before it still needs a continuation byte (a flag
// there may mean either; the two bytes before it are read), and every other
// flag must be the last byte of one. `tail` is the place of the last byte of a
// sequence that the block before began, or -1; it is left at that of one which
// runs on into the next block. Returns the number of sequences (each a unit
// more than its first byte gave), or -1 where a flag is anything else.
int four_byte_sequences(const unsigned char *bytes, const unsigned char *end,
                        const unsigned char *flags, int &tail) noexcept {
    std::uint64_t any = 0;
    for (std::size_t word = 0; word < block; word += 8)
        any |= load_word(flags + word);
    if (any == 0)
        return 0;
    int sequences = 0;
    for (std::size_t word = 0; word < block; word += 8) {
        // Flags are 0 or 1: each set one is a bit, cleared once taken.
        for (std::uint64_t set = load_word(flags + word); set != 0;) {
            const int bit = little_endian ? std::countr_zero(set) : 63 - std::countl_zero(set);
            set &= ~(std::uint64_t{1} << bit);
            const int i = static_cast<int>(word) + (little_endian ? bit : 63 - bit) / 8;
            if (i == tail) {
                tail = -1;
            } else if (bytes[i - 1] < 0xC0 && bytes[i - 2] < 0xE0 &&
                       four_byte_sequence(bytes + i, end)) {
                tail = i + 3;
                ++sequences;
            } else {
                return -1;
            }
        }
    }
    tail = tail >= static_cast<int>(block) ? tail - static_cast<int>(block) : -1;
    return sequences;
}

// Counts the units of `in` while checking that its bytes all fit, a block at a
// time; stops at the first block where that fails. `checked` is then the start
// of that block, or `length`: the bytes before it fit. The first two bytes are
// checked one by one, blocks after them in place, and a last, shorter, one is
// copied with zeros after it (each zero counts one unit). A sequence that the
// end cuts short is left to the caller.
std::size_t count_checked(const unsigned char *in, std::size_t length,
                          std::size_t &checked) noexcept {
    checked = 0;
    std::size_t count = 0;
    std::size_t start = 0;
    for (; start < length && start < 2; ++start) {
        if (misfit(in[start], start == 1 ? in[0] : 0, 0))
            return 0;
        count += units_of(in[start]);
    }
    unsigned char flags[block];
    unsigned char copy[2 + block];
    int tail = -1;
    while (start < length) {
        const std::size_t left = length - start;
        const unsigned char *bytes = in + start;
        const unsigned char *end = in + length;
        std::size_t zeros = 0;
        if (left < block) {
            std::memset(copy, 0, sizeof copy);
            std::memcpy(copy, bytes - 2, 2 + left);
            bytes = copy + 2;
            end = bytes + left;
            zeros = block - left;
        }
        const std::size_t units = block_units(bytes, flags);
        const int sequences = four_byte_sequences(bytes, end, flags, tail);
        if (sequences < 0) {
            checked = start;
            return count;
        }
        count += units + static_cast<std::size_t>(sequences) - zeros;
        start += block - zeros;
    }
    checked = length;
    return count;
}

// Whether the last sequence of a text whose bytes all fit is cut short by its end.
bool cut_short(const unsigned char *in, std::size_t length) noexcept {
    return (length >= 1 && in[length - 1] >= 0xC0) || (length >= 2 && in[length - 2] >= 0xE0) ||
           (length >= 3 && in[length - 3] >= 0xF0);
}

// Adds to `count` the units of the sequences from `in` on, ill-formed parts
// included, up to the first that ends at or past `stop` (at most `end`), and
// clears `plain` at a U+FFFD (ill-formed, or the text's own: either way the
// decoder will check). Returns where it stopped, at the start of a sequence.
const unsigned char *count_sequences(const unsigned char *in, const unsigned char *stop,
                                     const unsigned char *end, std::size_t &count,
                                     bool &plain) noexcept {
    while (in < stop) {
        if (*in <= 0x7F) {
            ++in;
            ++count;
        } else {
            char32_t code_point;
            in += decode_sequence(in, end, code_point);
            count += code_point > 0xFFFF ? 2 : 1;
            plain = plain && code_point != replacement;
        }
    }
    return in;
}

Utf16Unit *put_code_point(char32_t code_point, Utf16Unit *units) noexcept {
    if (code_point > 0xFFFF) {
        *units++ = static_cast<Utf16Unit>(0xD800 + ((code_point - 0x10000) >> 10));
        *units++ = static_cast<Utf16Unit>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    } else {
        *units++ = static_cast<Utf16Unit>(code_point);
    }
    return units;
}

// Any text, with every check. An ASCII run is taken eight bytes at a time while
// it lasts.
void decode_each_sequence(const unsigned char *in, const unsigned char *end,
                          Utf16Unit *units) noexcept {
    while (in < end) {
        if (*in <= 0x7F) {
            if (end - in >= 8 && eight_ascii_bytes(in)) {
                for (int i = 0; i < 8; ++i)
                    units[i] = in[i];
                in += 8;
                units += 8;
                continue;
            }
            do {
                *units++ = *in++;
            } while (in < end && *in <= 0x7F);
        } else if (two_byte_sequence(in, end)) {
            *units++ = two_byte_unit(in);
            in += 2;
        } else {
            char32_t code_point;
            in += decode_sequence(in, end, code_point);
            units = put_code_point(code_point, units);
        }
    }
}

// Four two-byte sequences in a word: first bytes C0-DF (C0 and C1 do not occur
// in well-formed text) at even bytes, continuation bytes at odd ones.
bool four_two_byte_sequences(std::uint64_t word) noexcept {
    return (word & 0xC0E0C0E0C0E0C0E0) == 0x80C080C080C080C0;
}

// Their four units: each 16-bit lane holds a sequence, first byte lowest.
std::uint64_t units_of_two_byte_sequences(std::uint64_t word) noexcept {
    return (word & 0x001F001F001F001F) << 6 | (word >> 8 & 0x003F003F003F003F);
}

// The four bytes in the low half of `half`, each in a 16-bit lane of its own.
std::uint64_t spread(std::uint64_t half) noexcept {
    half = (half | half << 16) & 0x0000FFFF0000FFFF;
    return (half | half << 8) & 0x00FF00FF00FF00FF;
}

// Widens the eight bytes of `word` to the eight units at `units`.
void widen_eight(std::uint64_t word, Utf16Unit *units) noexcept {
    const std::uint64_t low = spread(word & 0xFFFFFFFF);
    const std::uint64_t high = spread(word >> 32);
    std::memcpy(units, &low, sizeof low);
    std::memcpy(units + 4, &high, sizeof high);
}

// Well-formed text from `in`, into `units`, while more than sixteen bytes are left: the first
// byte alone gives a sequence's length, and nothing is checked. Each byte that
// ends a run is tested once, and what it starts is taken at once:
// - a run of ASCII bytes: byte by byte up to the byte that ends it, and once
//   four bytes of it are taken, eight at a time while a word holds just ASCII;
// - a two-byte sequence: alone when ASCII follows it, as most in Latin text do;
//   otherwise four at a time while a word holds just such sequences, then one by
//   one while they last.
// A unit is a sequence's bytes less their marker bits, which sum to a constant.
// The text has no terminator to end a run: a step starts only before
// `fast_end`, sixteen bytes before the end, and reads at most eleven bytes from
// where it starts (up to three bytes that end an ASCII run, then a word, or
// three two-byte sequences and the byte after them).
// Returns where it stopped, at the start of a sequence, with `units` moved past
// what it wrote.
const unsigned char *decode_plain_body(const unsigned char *in, const unsigned char *fast_end,
                                       Utf16Unit *&units) noexcept {
    while (in < fast_end) {
        // A run of ASCII bytes, maybe empty.
        if (static_cast<signed char>(in[0]) > 0) {
            for (;;) {
                units[0] = in[0];
                if (static_cast<signed char>(in[1]) <= 0) {
                    in += 1;
                    units += 1;
                    break;
                }
                units[1] = in[1];
                if (static_cast<signed char>(in[2]) <= 0) {
                    in += 2;
                    units += 2;
                    break;
                }
                units[2] = in[2];
                if (static_cast<signed char>(in[3]) <= 0) {
                    in += 3;
                    units += 3;
                    break;
                }
                units[3] = in[3];
                in += 4;
                units += 4;
                // A run this long may go on for words.
                while (little_endian && in < fast_end && eight_ascii_bytes(in)) {
                    widen_eight(load_word(in), units);
                    in += 8;
                    units += 8;
                }
                if (in >= fast_end)
                    return in;
                if (static_cast<signed char>(in[0]) <= 0)
                    break;
            }
        }
        const unsigned first = in[0];
        if (static_cast<unsigned char>(first - 0xC0) < 0x20) {
            if (static_cast<signed char>(in[2]) > 0) {
                *units++ = two_byte_unit(in);
                in += 2;
                continue;
            }
            if (little_endian && four_two_byte_sequences(load_word(in))) {
                const std::uint64_t four = units_of_two_byte_sequences(load_word(in));
                std::memcpy(units, &four, sizeof four);
                in += 8;
                units += 4;
                continue;
            }
            // At most three more, as the word did not hold four: no bound to check
            // where words are read.
            do {
                *units++ = two_byte_unit(in);
                in += 2;
            } while ((little_endian || in < fast_end) &&
                     static_cast<unsigned char>(*in - 0xC0) < 0x20);
        } else if (first >= 0xF0) {
            const char32_t code_point = ((first & 0x07) << 18) | ((in[1] & 0x3F) << 12) |
                                        ((in[2] & 0x3F) << 6) | (in[3] & 0x3F);
            units = put_code_point(code_point, units);
            in += 4;
        } else if (first >= 0xE0) {
            // A run of three-byte sequences, as in Chinese or Japanese text.
            do {
                *units++ = static_cast<Utf16Unit>((in[0] << 12) + (in[1] << 6) + in[2] - 0x2080);
                in += 3;
            } while (in < fast_end && (*in & 0xF0) == 0xE0);
        } else {
            // A zero byte within the text.
            *units++ = 0;
            ++in;
        }
    }
    return in;
}

// Well-formed text, as count_utf16_units finds it, into room for exactly its units:
// all but its last bytes unchecked, and those with every check.
void decode_plain(const unsigned char *in, const unsigned char *end, Utf16Unit *units) noexcept {
    const unsigned char *const fast_end = end - in > 16 ? end - 16 : in;
    in = decode_plain_body(in, fast_end, units);
    decode_each_sequence(in, end, units);
}

// Widens text that is all ASCII, in a loop the compiler vectorises.
void widen_ascii(const unsigned char *in, std::size_t length, Utf16Unit *units) noexcept {
    for (std::size_t i = 0; i < length; ++i)
        units[i] = in[i];
}

} // namespace

// Blocks that fit are counted together, four-byte sequences among them; where
// a block does not (an ill-formed sequence, one after E0 or ED, one the end
// cuts short), it is counted sequence by sequence from the last sequence
// before it, and blocks are checked again after it. The text is plain when
// no sequence turned out ill-formed.
Utf16Count count_utf16_units(const char *utf8, std::size_t length) noexcept {
    auto in = reinterpret_cast<const unsigned char *>(utf8);
    const unsigned char *const end = in + length;
    std::size_t count = 0;
    bool plain = true;
    for (;;) {
        const auto left = static_cast<std::size_t>(end - in);
        std::size_t checked = 0;
        std::size_t units = count_checked(in, left, checked);
        if (checked == left && !cut_short(in, left))
            return {count + units, plain};
        // The checked bytes are whole sequences up to the last first byte among
        // them, whose sequence may run on into what failed: count from there.
        std::size_t start = checked;
        if (start > 0) {
            --start;
            while ((in[start] & 0xC0) == 0x80)
                --start;
            units -= units_of(in[start]);
        }
        count += units;
        const std::size_t stop = left - checked > block ? checked + block : left;
        in = count_sequences(in + start, in + stop, end, count, plain);
    }
}

void decode_utf8(const char *utf8, std::size_t length, Utf16Count count,
                 Utf16Unit *units) noexcept {
    auto in = reinterpret_cast<const unsigned char *>(utf8);
    if (!count.plain)
        decode_each_sequence(in, in + length, units);
    else if (count.units == length)
        widen_ascii(in, length, units);
    else
        decode_plain(in, in + length, units);
}
