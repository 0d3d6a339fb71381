// SPDX-License-Identifier: GPL-2.0-or-later
// Whole /np and /vc calls through the module, with in-process doubles of the
// host and of the client library that allocate nothing themselves, so the
// heap allocations counted per call are the module's own.
#include <benchmark/benchmark.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "bench.h"
#include "counting_heap.h"
#include "plugin.h"
#include "vc.h"

namespace {

xchat_command_cb np_callback = nullptr;
xchat_command_cb vc_callback = nullptr;
int printed_messages = 0;
char executed_line[4096];
std::string preset_line; // in the ANSI code page, as the service writes it

xchat_hook *hook_command(xchat_plugin *, const char *name, int, xchat_command_cb callback,
                         const char *, void *) {
    if (std::strcmp(name, "np") == 0)
        np_callback = callback;
    else if (std::strcmp(name, "vc") == 0)
        vc_callback = callback;
    return nullptr;
}

void print(xchat_plugin *, const char *) {
    ++printed_messages;
}

void commandf(xchat_plugin *, const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(executed_line, sizeof executed_line, format, args);
    va_end(args);
}

xchat_plugin host_table{hook_command, nullptr, nullptr, nullptr, nullptr,
                        nullptr,      print,   nullptr, nullptr, commandf};

char empty_word[] = "";

// A word list like the host's: index 1 the command name, empty entries after.
struct Words {
    char *word[XCHAT_WORD_COUNT];
    explicit Words(std::initializer_list<const char *> given) {
        for (char *&entry : word)
            entry = empty_word;
        int i = 1;
        for (const char *text : given)
            word[i++] = const_cast<char *>(text);
    }
};

void command(benchmark::State &state, xchat_command_cb callback, Words words,
             const std::string &expected_line) {
    printed_messages = 0;
    executed_line[0] = '\0';
    const std::uint64_t allocations_before = heap_allocations();
    for (auto _ : state)
        benchmark::DoNotOptimize(callback(words.word, words.word, nullptr));
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(heap_allocations() - allocations_before),
                           benchmark::Counter::kAvgIterations);
    if (printed_messages != 0 || expected_line != executed_line)
        state.SkipWithError("the command did not do what it should");
}

} // namespace

extern "C" {

int VC_CALL vc_init(int) {
    return 0;
}

int VC_CALL vc_uninit(void) {
    return 0;
}

int VC_CALL vc_eval(const char *, char *result) {
    std::memcpy(result, preset_line.c_str(), preset_line.size() + 1);
    return 0;
}

int VC_CALL vc_exec(const char *command) {
    return std::strcmp(command, "next") == 0 ? 0 : 1;
}
}

void register_command_benchmarks(unsigned code_page) {
    const char *iconv_name = code_page == 1251 ? "CP1251" : code_page == 65001 ? "UTF-8" : "CP1252";
    const std::string line = code_page == 1251
                                 ? "me is listening to \xD0\x9B\xD1\x91\xD1\x88\xD0\xB0 - "
                                   "\xD0\x97\xD0\xB8\xD0\xBC\xD0\xBD\xD1\x8F\xD1\x8F"
                                 : "me is listening to Beyonc\xC3\xA9 - D\xC3\xA9j\xC3\xA0 Vu";
    preset_line = iconv_all(iconv_name, "UTF-8", line);

    char *name = nullptr, *desc = nullptr, *version = nullptr;
    char arg[] = "";
    xchat_plugin_init(&host_table, &name, &desc, &version, arg);
    printed_messages = 0;

    const std::string suffix = "/cp" + std::to_string(code_page);
    benchmark::RegisterBenchmark(("np_command" + suffix).c_str(), command, np_callback, Words{"np"},
                                 line);
    benchmark::RegisterBenchmark(("vc_command" + suffix).c_str(), command, vc_callback,
                                 Words{"vc", "next"}, "");
}
