// SPDX-License-Identifier: GPL-2.0-or-later
// A rendered line handed back to the module: in the ANSI code page and within
// the module's result buffer.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "encoding.h"
#include "render.h"
#include "vc.h"

int write_local_result(std::string &utf8, char *result) noexcept {
    for (;;) {
        char *local = nullptr;
        if (utf8_to_local(utf8.c_str(), &local) != 0)
            return 1;
        const std::size_t length = std::strlen(local);
        if (length < VC_RESULT_SIZE) {
            std::memcpy(result, local, length + 1);
            std::free(local);
            return 0;
        }
        std::free(local);
        // The code page's length is not the UTF-8 one: shorten in proportion
        // (by one byte at least), back to a character boundary, and convert
        // again.
        const std::size_t keep = utf8.size() * (VC_RESULT_SIZE - 1) / length;
        cut_at_character(utf8, std::min(keep, utf8.size() - 1));
    }
}
