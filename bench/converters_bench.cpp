// SPDX-License-Identifier: GPL-2.0-or-later
// The module's converters against glibc iconv doing the same conversion on
// the same text. iconv gets its best case: a descriptor opened once and an
// output buffer allocated once. The converters are timed as the module calls
// them, measuring, allocating and converting, and their result is released
// in the loop. Each contender's output is checked against the other's first.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iconv.h>
#include <string>
#include <utility>
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

// A conversion by iconv as (to, from) names.
using IconvStage = std::pair<const char *, const char *>;

// iconv converting `input` in one stage or more, each with its descriptor and
// output buffer opened and allocated once and reset on every call. Under code
// page 65001 the converters take UTF-8 through UTF-16 and back to UTF-8; so
// does iconv then, in two stages.
void with_iconv(benchmark::State &state, const std::vector<IconvStage> &stages,
                const std::string &input, const std::string &expected) {
    std::vector<iconv_t> descriptors;
    std::vector<std::vector<char>> outputs;
    for (const auto &[to, from] : stages) {
        descriptors.push_back(iconv_open(to, from));
        outputs.emplace_back(input.size() * 4);
    }
    std::size_t produced = 0;
    for (auto _ : state) {
        const char *data = input.data();
        produced = input.size();
        for (std::size_t i = 0; i < descriptors.size(); ++i) {
            iconv(descriptors[i], nullptr, nullptr, nullptr, nullptr);
            char *in_ptr = const_cast<char *>(data);
            char *out_ptr = outputs[i].data();
            std::size_t in_left = produced;
            std::size_t out_left = outputs[i].size();
            iconv(descriptors[i], &in_ptr, &in_left, &out_ptr, &out_left);
            produced = outputs[i].size() - out_left;
            data = outputs[i].data();
        }
        benchmark::DoNotOptimize(outputs.back().data());
        benchmark::ClobberMemory();
    }
    for (iconv_t cd : descriptors)
        iconv_close(cd);
    if (std::string(outputs.back().data(), produced) != expected)
        state.SkipWithError("iconv's output differs from the expected text");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

} // namespace

void register_converter_benchmarks(const std::vector<BenchText> &texts) {
    for (const BenchText &text : texts) {
        const std::vector<IconvStage> to_utf8 =
            text.iconv_name == std::string("UTF-8")
                ? std::vector<IconvStage>{{"UTF-16LE", "UTF-8"}, {"UTF-8", "UTF-16LE"}}
                : std::vector<IconvStage>{{"UTF-8", text.iconv_name}};
        const std::vector<IconvStage> from_utf8 =
            text.iconv_name == std::string("UTF-8")
                ? to_utf8
                : std::vector<IconvStage>{{text.iconv_name, "UTF-8"}};
        benchmark::RegisterBenchmark(("local_to_utf8/" + text.name).c_str(), converter,
                                     local_to_utf8, text.ansi, text.utf8);
        benchmark::RegisterBenchmark(("iconv_to_utf8/" + text.name).c_str(), with_iconv, to_utf8,
                                     text.ansi, text.utf8);
        benchmark::RegisterBenchmark(("utf8_to_local/" + text.name).c_str(), converter,
                                     utf8_to_local, text.utf8, text.ansi);
        benchmark::RegisterBenchmark(("iconv_from_utf8/" + text.name).c_str(), with_iconv,
                                     from_utf8, text.utf8, text.ansi);
    }
}
