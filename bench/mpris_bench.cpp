// SPDX-License-Identifier: GPL-2.0-or-later
// vc_eval through the MPRIS client library, loaded as the module loads it,
// with one fake player on a private session bus, and with a second player
// beside it that owns its name but never answers (stopped with SIGSTOP):
// that one costs the first command its budget of one second, and every
// later command only the grace the library gives a player it knows to be
// silent.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench.h"
#include "private_bus.h"
#include "vc.h"

namespace {

void *library = nullptr;
int (*eval)(const char *, char *) = nullptr;
int (*uninit)() = nullptr;
pid_t playing = -1;
pid_t silent = -1;
char config_home[] = "/tmp/velm-bench-XXXXXX";

const char expected[] = "me is listening to ミカ, Лёша - 東京の夜 🎵";

void announce(benchmark::State &state) {
    char result[VC_RESULT_SIZE];
    bool right = true;
    for (auto _ : state)
        right = eval("formatpreset 3", result) == 0 && std::string(result) == expected && right;
    if (!right)
        state.SkipWithError("vc_eval did not announce the playing player's song");
}

} // namespace

void register_mpris_benchmarks(unsigned code_page) {
    // The line is checked in UTF-8, the code page of a Linux desktop.
    if (code_page != 65001)
        return;
    const std::string why = start_private_bus();
    if (!why.empty() || mkdtemp(config_home) == nullptr) {
        std::fprintf(stderr, "velm-bench: MPRIS benchmarks SKIPPED, no private bus: %s\n",
                     why.c_str());
        return;
    }
    setenv("XDG_CONFIG_HOME", config_home, 1);
    playing = start_player({"bench", "Playing",
                            "{'xesam:artist': <['ミカ', 'Лёша']>, 'xesam:title': <'東京の夜 🎵'>, "
                            "'mpris:length': <int64 215000000>}"},
                           "/dev/null");
    library = dlopen(VC_MPRIS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (playing < 0 || library == nullptr) {
        std::fprintf(stderr, "velm-bench: MPRIS benchmarks cannot start\n");
        return;
    }
    const auto init = reinterpret_cast<int (*)(int)>(dlsym(library, "vc_init"));
    eval = reinterpret_cast<int (*)(const char *, char *)>(dlsym(library, "vc_eval"));
    uninit = reinterpret_cast<int (*)()>(dlsym(library, "vc_uninit"));
    init(1);
    benchmark::RegisterBenchmark("mpris_eval/one_player", announce)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("mpris_eval/beside_a_silent_player",
                                 [](benchmark::State &state) {
                                     if (silent < 0) {
                                         silent = start_player({"silent", "Playing"}, "/dev/null");
                                         kill(silent, SIGSTOP);
                                         // The command that learns it is silent, untimed.
                                         char result[VC_RESULT_SIZE];
                                         eval("formatpreset 3", result);
                                     }
                                     announce(state);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(40);
}

void end_mpris_benchmarks() {
    if (library != nullptr) {
        uninit();
        dlclose(library);
    }
    for (const pid_t pid : {playing, silent})
        if (pid > 0)
            end_player(pid);
    end_private_bus();
    rmdir(config_home);
}
