// SPDX-License-Identifier: GPL-2.0-or-later
// velm-instructions: calls one converter on one of velm-bench's texts a fixed
// number of times, for callgrind. Instruction counts do not depend on the
// machine's load, so they show what a change does where timings are noisy.
// scripts/instructions.sh runs it and prints the counts per stage.
//
// usage: velm-instructions CONVERTER TEXT CALLS
// CONVERTER is local_to_utf8 or utf8_to_local, or iconv_to_utf8 or
// iconv_from_utf8 for glibc iconv doing the same conversion as velm-bench
// times it; TEXT as in velm-bench, e.g. western/2048 (the process's code page
// must be the text's). Prints the length of the input. The measured calls are those in
// measured_calls; the first call, which builds the code page's tables, is made before them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <string>
#include <vector>

#include "bench.h"
#include "codepage.h"
#include "encoding.h"

using Converter = int (*)(const char *, char **) noexcept;

// Not inlined, so that callgrind can start and stop collecting at its edges.
[[gnu::noinline]] int measured_calls(Converter convert, const char *input, long calls) {
    int failures = 0;
    for (long i = 0; i < calls; ++i) {
        char *output = nullptr;
        if (convert(input, &output) != 0)
            ++failures;
        else
            std::free(output);
    }
    return failures;
}

// iconv's best case, as in velm-bench: one descriptor a step, one output buffer a step.
// Code page 65001 takes two steps, as the converters do: through UTF-16 and back.
std::size_t iconv_step(iconv_t cd, const char *input, std::size_t size, std::vector<char> &output) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *in_ptr = const_cast<char *>(input);
    char *out_ptr = output.data();
    std::size_t in_left = size;
    std::size_t out_left = output.size();
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1))
        return static_cast<std::size_t>(-1);
    return output.size() - out_left;
}

[[gnu::noinline]] int measured_iconv_calls(iconv_t cd, iconv_t back, const std::string &input,
                                           std::vector<char> &output, std::vector<char> &again,
                                           long calls) {
    int failures = 0;
    for (long i = 0; i < calls; ++i) {
        const std::size_t size = iconv_step(cd, input.data(), input.size(), output);
        if (size == static_cast<std::size_t>(-1) ||
            (back != nullptr &&
             iconv_step(back, output.data(), size, again) == static_cast<std::size_t>(-1)))
            ++failures;
    }
    return failures;
}

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fputs("usage: velm-instructions CONVERTER TEXT CALLS\n", stderr);
        return 2;
    }
    const std::string converter = argv[1];
    const bool to_utf8 = converter == "local_to_utf8" || converter == "iconv_to_utf8";
    if (!to_utf8 && converter != "utf8_to_local" && converter != "iconv_from_utf8") {
        std::fprintf(stderr, "velm-instructions: no converter %s\n", argv[1]);
        return 2;
    }
    for (const BenchText &text : bench_texts(GetACP())) {
        if (text.name != argv[2])
            continue;
        const std::string &input = to_utf8 ? text.ansi : text.utf8;
        const std::string &expected = to_utf8 ? text.utf8 : text.ansi;
        std::printf("%zu input bytes\n", input.size());
        std::fflush(stdout);
        if (converter.starts_with("iconv")) {
            const bool two_steps = GetACP() == 65001;
            const char *from = to_utf8 ? text.iconv_name : "UTF-8";
            const char *to = two_steps ? "UTF-16LE" : to_utf8 ? "UTF-8" : text.iconv_name;
            iconv_t cd = iconv_open(to, from);
            iconv_t back = two_steps ? iconv_open("UTF-8", "UTF-16LE") : nullptr;
            std::vector<char> output(input.size() * 4);
            std::vector<char> again(input.size() * 4);
            const int failures =
                measured_iconv_calls(cd, back, input, output, again, std::atol(argv[3]));
            iconv_close(cd);
            if (back != nullptr)
                iconv_close(back);
            return failures == 0 ? 0 : 1;
        }
        const Converter convert = to_utf8 ? local_to_utf8 : utf8_to_local;
        char *output = nullptr;
        if (convert(input.c_str(), &output) != 0 || expected != output) {
            std::fprintf(stderr, "velm-instructions: %s differs from iconv on %s\n", argv[1],
                         argv[2]);
            return 1;
        }
        std::free(output);
        return measured_calls(convert, input.c_str(), std::atol(argv[3])) == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "velm-instructions: no text %s in code page %u\n", argv[2], GetACP());
    return 2;
}
