// SPDX-License-Identifier: GPL-2.0-or-later
// /vc over arbitrary word lists: up to the host's 32 entries, words of any
// bytes, lengths drawn around the 2046-byte limit, the list ending at an
// empty word, a null entry or its last entry. Each word and the list itself
// sit in blocks of exactly their size, so any read past them is caught. The
// service receives exactly the joined words in the ANSI code page, or, when
// they exceed 2046 bytes, nothing and the window says why. The code-page
// services are a double whose ANSI code page is UTF-8 in effect, so that
// what the service receives compares with the joined words byte for byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codepage.h"
#include "encoding.h"
#include "expected_messages.h"
#include "fake_host.h"
#include "fuzz_support.h"
#include "plugin.h"
#include "reference_utf8.h"

namespace {

constexpr std::size_t longest_command = 2046;

// Lengths of `count` words whose join is `joined` bytes long, cut at random.
std::vector<std::size_t> word_lengths(FuzzedDataProvider &data, std::size_t count,
                                      std::size_t joined) {
    std::vector<std::size_t> lengths;
    std::size_t left = joined > count - 1 ? joined - (count - 1) : 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        lengths.push_back(data.ConsumeIntegralInRange<std::size_t>(0, left));
        left -= lengths.back();
    }
    lengths.push_back(left);
    return lengths;
}

// A word of `length` bytes from the input, without zero bytes, padded when
// the input runs out.
std::string next_word(FuzzedDataProvider &data, std::size_t length) {
    std::string word = data.ConsumeBytesAsString(length);
    for (char &c : word)
        c = c == '\0' ? 'z' : c;
    word.resize(length, 'a');
    return word;
}

} // namespace

// The units back as UTF-8; one call counts, the other writes.
int WideCharToMultiByte(UINT, DWORD, LPCWCH units, int length, LPSTR bytes, int room, LPCCH,
                        LPBOOL) noexcept {
    std::vector<char16_t> given;
    for (const WCHAR *unit = units; *unit != 0; ++unit)
        given.push_back(*unit);
    // The length is -1 or the units with their terminator: both end at it.
    check(length == -1 || length == static_cast<int>(given.size()) + 1,
          "the units are passed up to their terminator");
    const std::string utf8 = reference::utf8_of(reference::code_points_of(given));
    const int count = static_cast<int>(utf8.size()) + 1;
    if (bytes != nullptr) {
        check(room >= count, "the output has room for what was counted");
        std::memcpy(bytes, utf8.c_str(), utf8.size() + 1);
    }
    return count;
}

DWORD GetLastError() noexcept {
    return 0;
}

// /np's converter comes along with the module's code; /vc never calls it.
int MultiByteToWideChar(UINT, DWORD, LPCCH, int, LPWSTR, int) noexcept {
    check(false, "/vc converts only towards the code page");
    return 0;
}

int lstrlenA(LPCSTR) noexcept {
    check(false, "/vc converts only towards the code page");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, XCHAT_WORD_COUNT - 2);
    const bool null_after_words = data.ConsumeBool();
    const bool service_refuses = data.ConsumeBool();
    const std::size_t joined = data.ConsumeBool()
                                   ? data.ConsumeIntegralInRange<std::size_t>(2030, 2060)
                                   : data.ConsumeIntegralInRange<std::size_t>(0, 4200);

    std::vector<std::unique_ptr<char[]>> texts;
    texts.push_back(exact_text("", 0));
    texts.push_back(exact_text("vc", 2));
    if (count > 0) {
        for (const std::size_t length : word_lengths(data, count, joined)) {
            const std::string word = next_word(data, length);
            texts.push_back(exact_text(word.data(), word.size()));
        }
    }
    const std::unique_ptr<char *[]> word(new char *[XCHAT_WORD_COUNT]);
    for (std::size_t i = 0; i < XCHAT_WORD_COUNT; ++i)
        word[i] = i < texts.size() ? texts[i].get() : texts[0].get();
    if (null_after_words && texts.size() < XCHAT_WORD_COUNT)
        word[texts.size()] = nullptr;

    // The join as the host's user means it: words from index 2 up to the
    // first empty one, single spaces between.
    std::string expected;
    for (std::size_t i = 2; i < texts.size() && texts[i][0] != '\0'; ++i)
        expected += (i > 2 ? " " : "") + std::string(texts[i].get());

    plugin_handle = reset_fakes();
    fake_service.exec_result = service_refuses ? 1 : 0;
    check(vc_command(word.get(), word.get(), nullptr) == XCHAT_EAT_ALL, "/vc eats the command");
    check(fake_host.unexpected_calls == 0, "/vc makes no other host calls");
    if (expected.size() > longest_command) {
        check(fake_service.exec_commands.empty(), "a command that is too long is not sent");
        check(fake_host.printed == std::vector<std::string>{vc_too_long_message},
              "a command that is too long is refused in the window");
        return 0;
    }
    // Ill-formed parts of the words reach the service as U+FFFD.
    const auto *joined_bytes = reinterpret_cast<const unsigned char *>(expected.data());
    const std::string sent =
        reference::utf8_of(reference::decode_replacing(joined_bytes, expected.size()));
    check(fake_service.exec_commands == std::vector<std::string>{sent},
          "the joined words are sent once");
    check(!reference::well_formed_utf8(joined_bytes, expected.size()) || sent == expected,
          "well-formed words are sent byte for byte");
    check(fake_host.printed == (service_refuses ? std::vector<std::string>{vc_failure_message}
                                                : std::vector<std::string>{}),
          "only a refused command is reported");
    return 0;
}
