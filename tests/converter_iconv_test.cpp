// SPDX-License-Identifier: GPL-2.0-or-later
// local_to_utf8 against the C library's iconv, byte by byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iconv.h>
#include <string>

#include "codepage.h"
#include "encoding.h"

namespace {

TEST(Cp1252Iconv, LocalToUtf8AgreesWithIconvOnEveryByte) {
    ASSERT_EQ(GetACP(), 1252u) << "run with LC_ALL=en_US.CP1252";
    iconv_t cd = iconv_open("UTF-8", "CP1252");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int byte = 1; byte < 256; ++byte) {
        char in[2] = {static_cast<char>(byte), 0};
        char out[8] = {};
        char *in_at = in;
        char *out_at = out;
        std::size_t in_left = 1, out_left = sizeof out;
        std::string expected;
        if (iconv(cd, &in_at, &in_left, &out_at, &out_left) == static_cast<std::size_t>(-1)) {
            // Bytes the code page leaves undefined stand for U+0080..U+009F.
            expected = {static_cast<char>(0xC2), static_cast<char>(byte)};
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            expected = out;
        }
        char *converted = nullptr;
        ASSERT_EQ(local_to_utf8(in, &converted), 0) << byte;
        EXPECT_EQ(std::string(converted), expected) << byte;
        std::free(converted);
    }
    iconv_close(cd);
}

} // namespace
