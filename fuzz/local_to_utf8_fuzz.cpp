// local_to_utf8 over arbitrary bytes in the process's ANSI code page (the
// lane runs it once for each of several code pages, chosen by LC_ALL): the
// result is well-formed UTF-8, and decoding it gives back exactly the UTF-16
// that the platform makes of the same bytes. An empty text is refused and
// leaves the result pointer alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codepage.h"
#include "encoding.h"
#include "fuzz_support.h"
#include "reference_utf8.h"

namespace {

// The platform's own UTF-16 for the text: what local_to_utf8 is to encode.
std::vector<char16_t> platform_units(const char *text, int length) {
    const int count = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, length, nullptr, 0);
    check(count > 0, "the platform counts the units of a non-empty text");
    std::vector<char16_t> units(static_cast<std::size_t>(count));
    check(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, length, units.data(), count) == count,
          "the platform converts as many units as it counted");
    return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // The text ends at the input's first zero byte.
    const std::size_t length = strnlen(reinterpret_cast<const char *>(data), size);
    const auto text = exact_text(data, length);

    char sentinel = 0;
    char *utf8 = &sentinel;
    const int result = local_to_utf8(text.get(), &utf8);
    if (length == 0) {
        check(result == -1, "an empty text is refused");
        check(utf8 == &sentinel, "a refused empty text leaves the result pointer alone");
        return 0;
    }
    check(result == 0, "a non-empty text converts");
    check(utf8 != nullptr && utf8 != &sentinel, "a converted text is handed out");

    const std::size_t utf8_length = std::strlen(utf8);
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8);
    check(reference::well_formed_utf8(bytes, utf8_length), "the result is well-formed UTF-8");
    const std::vector<char16_t> decoded =
        reference::utf16_of(reference::decode_replacing(bytes, utf8_length));
    check(decoded == reference::with_lone_surrogates_replaced(
                         platform_units(text.get(), static_cast<int>(length))),
          "the result decodes to the platform's UTF-16");
    std::free(utf8);
    return 0;
}
