// SPDX-License-Identifier: GPL-2.0-or-later
// velm-bench: registers the benchmarks that fit the process's ANSI code page
// (run it with LC_ALL=en_US.CP1252 for ASCII and Western European texts, with
// LC_ALL=ru_RU.CP1251 for Cyrillic, with LC_ALL=C.UTF-8 for code page 65001)
// and runs them.
#include <benchmark/benchmark.h>

#include <string>

#include "bench.h"
#include "codepage.h"

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const unsigned code_page = GetACP();
    benchmark::AddCustomContext("ansi_code_page", std::to_string(code_page));
    register_converter_benchmarks(bench_texts(code_page));
    register_command_benchmarks(code_page);
#ifdef VELM_MPRIS_BENCHMARKS
    register_mpris_benchmarks(code_page);
#endif
    benchmark::RunSpecifiedBenchmarks();
#ifdef VELM_MPRIS_BENCHMARKS
    end_mpris_benchmarks();
#endif
    benchmark::Shutdown();
    return 0;
}
