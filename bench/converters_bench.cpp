// The module's converters against glibc iconv doing the same conversion on
// the same text. iconv gets its best case: a descriptor opened once and an
// output buffer allocated once. The converters are timed as the module calls
// them, measuring, allocating and converting, and their result is released
// in the loop. Each contender's output is checked against the other's first.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iconv.h>
#include <string>
#include <vector>

#include "bench.h"
#include "encoding.h"

namespace {

using Converter = int (*)(const char *, char **) noexcept;

void converter(benchmark::State &state, Converter convert, const std::string &input,
               const std::string &expected) {
    char *output = nullptr;
    if (convert(input.c_str(), &output) != 0 || expected != output) {
        state.SkipWithError("the converter's output differs from iconv's");
        if (output != nullptr)
            std::free(output);
        return;
    }
    std::free(output);
    for (auto _ : state) {
        convert(input.c_str(), &output);
        benchmark::DoNotOptimize(output);
        std::free(output);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void with_iconv(benchmark::State &state, const char *to, const char *from, const std::string &input,
                const std::string &expected) {
    iconv_t cd = iconv_open(to, from);
    std::vector<char> output(input.size() * 4);
    std::size_t produced = 0;
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char *in_ptr = const_cast<char *>(input.data());
        char *out_ptr = output.data();
        std::size_t in_left = input.size();
        std::size_t out_left = output.size();
        iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        produced = output.size() - out_left;
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    iconv_close(cd);
    if (std::string(output.data(), produced) != expected)
        state.SkipWithError("iconv's output differs from the expected text");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// Where the code page is UTF-8, the converters take UTF-8 through UTF-16 and
// back to UTF-8; so does iconv here, with both descriptors opened once.
void with_iconv_via_utf16(benchmark::State &state, const std::string &input,
                          const std::string &expected) {
    iconv_t to_units = iconv_open("UTF-16LE", "UTF-8");
    iconv_t to_bytes = iconv_open("UTF-8", "UTF-16LE");
    std::vector<char> units(input.size() * 2);
    std::vector<char> output(input.size() * 4);
    std::size_t produced = 0;
    for (auto _ : state) {
        iconv(to_units, nullptr, nullptr, nullptr, nullptr);
        char *in_ptr = const_cast<char *>(input.data());
        char *units_ptr = units.data();
        std::size_t in_left = input.size();
        std::size_t units_left = units.size();
        iconv(to_units, &in_ptr, &in_left, &units_ptr, &units_left);
        iconv(to_bytes, nullptr, nullptr, nullptr, nullptr);
        char *units_in = units.data();
        std::size_t units_in_left = units.size() - units_left;
        char *out_ptr = output.data();
        std::size_t out_left = output.size();
        iconv(to_bytes, &units_in, &units_in_left, &out_ptr, &out_left);
        produced = output.size() - out_left;
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    iconv_close(to_units);
    iconv_close(to_bytes);
    if (std::string(output.data(), produced) != expected)
        state.SkipWithError("iconv's output differs from the expected text");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

} // namespace

void register_converter_benchmarks(const std::vector<BenchText> &texts) {
    for (const BenchText &text : texts) {
        const bool utf8 = std::string(text.iconv_name) == "UTF-8";
        benchmark::RegisterBenchmark(("local_to_utf8/" + text.name).c_str(), converter,
                                     local_to_utf8, text.ansi, text.utf8);
        benchmark::RegisterBenchmark(("utf8_to_local/" + text.name).c_str(), converter,
                                     utf8_to_local, text.utf8, text.ansi);
        if (utf8) {
            benchmark::RegisterBenchmark(("iconv_to_utf8/" + text.name).c_str(),
                                         with_iconv_via_utf16, text.ansi, text.utf8);
            benchmark::RegisterBenchmark(("iconv_from_utf8/" + text.name).c_str(),
                                         with_iconv_via_utf16, text.utf8, text.ansi);
            continue;
        }
        benchmark::RegisterBenchmark(("iconv_to_utf8/" + text.name).c_str(), with_iconv, "UTF-8",
                                     text.iconv_name, text.ansi, text.utf8);
        benchmark::RegisterBenchmark(("iconv_from_utf8/" + text.name).c_str(), with_iconv,
                                     text.iconv_name, "UTF-8", text.utf8, text.ansi);
    }
}
