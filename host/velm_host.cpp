// SPDX-License-Identifier: GPL-2.0-or-later
// velm-host: a console host that speaks the chat client's plug-in interface.
//
// It loads one module, hands it the function table, calls its entry points
// and then reads lines: "/cmd args" goes to the command the module hooked,
// any other line is said in the channel. What the module prints is shown as
// it is; a command line it executes is shown as the client would act on it.
// Any call of a host function that a module of this kind should not make is
// reported, and makes the host exit with status 3.
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "command_words.h"
#include "load_module.h"
#include "xchat_plugin.h"

namespace {

using init_fn = int (*)(xchat_plugin *, char **, char **, char **, char *);
using get_info_fn = void (*)(char **, char **, char **, void **);
using deinit_fn = int (*)();

struct Hook {
    xchat_command_cb callback;
    void *user_data;
};

std::string nick = "dj";
std::map<std::string, Hook> hooks;
int unexpected_calls = 0;

void report_unexpected(const char *what) {
    std::fprintf(stderr, "velm-host: unexpected call: %s\n", what);
    ++unexpected_calls;
}

std::string lower(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool valid_utf8(const std::string &text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const auto first = static_cast<unsigned char>(text[at]);
        int more = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (first <= 0x7F)
            more = 0;
        else if (first >= 0xC2 && first <= 0xDF)
            more = 1;
        else if (first >= 0xE0 && first <= 0xEF) {
            more = 2;
            low = first == 0xE0 ? 0xA0 : 0x80;
            high = first == 0xED ? 0x9F : 0xBF;
        } else if (first >= 0xF0 && first <= 0xF4) {
            more = 3;
            low = first == 0xF0 ? 0x90 : 0x80;
            high = first == 0xF4 ? 0x8F : 0xBF;
        } else
            return false;
        ++at;
        for (; more > 0; --more, ++at) {
            if (at >= text.size())
                return false;
            const auto next = static_cast<unsigned char>(text[at]);
            if (next < low || next > high)
                return false;
            low = 0x80;
            high = 0xBF;
        }
    }
    return true;
}

// A command line is one line: control characters are shown escaped, and text
// that is not UTF-8 is flagged with its bytes spelled out.
std::string shown(const std::string &text, bool escape_controls) {
    const bool valid = valid_utf8(text);
    std::string out = valid ? "" : "[not UTF-8] ";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char escaped[8];
        if (escape_controls && c == '\r')
            out += "\\r";
        else if (escape_controls && c == '\n')
            out += "\\n";
        else if ((escape_controls && byte < 0x20) || (!valid && byte >= 0x80)) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else
            out += c;
    }
    return out;
}

void show_window_line(const std::string &line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

xchat_hook *host_hook_command(xchat_plugin *, const char *name, int pri, xchat_command_cb callback,
                              const char *help_text, void *user_data) {
    if (name == nullptr || callback == nullptr) {
        report_unexpected("xchat_hook_command without a name or callback");
        return nullptr;
    }
    if (pri != XCHAT_PRI_NORM || help_text != nullptr)
        std::fprintf(stderr, "velm-host: /%s hooked with priority %d and %s help text\n", name, pri,
                     help_text == nullptr ? "no" : "a");
    hooks[lower(name)] = Hook{callback, user_data};
    static int hook_tokens[XCHAT_WORD_COUNT];
    return reinterpret_cast<xchat_hook *>(&hook_tokens[hooks.size() % XCHAT_WORD_COUNT]);
}

void host_print(xchat_plugin *, const char *text) {
    if (text == nullptr) {
        report_unexpected("xchat_print with no text");
        return;
    }
    std::string message = text;
    if (!message.empty() && message.back() == '\n')
        message.pop_back();
    show_window_line(shown(message, false));
}

// Acts on a command line as the client does: "me" is an action, "say" a
// message, anything else is executed as the command it names.
void execute_command_line(const std::string &line) {
    const std::size_t space = line.find(' ');
    const std::string name = lower(line.substr(0, space));
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (name == "me")
        show_window_line("* " + nick + " " + shown(rest, true));
    else if (name == "say")
        show_window_line("<" + nick + "> " + shown(rest, true));
    else
        show_window_line("[executes] /" + shown(line, true));
}

void host_commandf(xchat_plugin *, const char *format, ...) {
    if (format == nullptr) {
        report_unexpected("xchat_commandf with no format");
        return;
    }
    if (std::strcmp(format, "%s") != 0)
        report_unexpected("xchat_commandf with a format other than \"%s\"");
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::vector<char> text(size < 0 ? 1 : static_cast<std::size_t>(size) + 1, '\0');
    if (size >= 0)
        std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    execute_command_line(text.data());
}

// Every slot the module should not use reports the call.
template <int Slot> void unexpected_slot() {
    static const std::string what = "host function in slot " + std::to_string(Slot);
    report_unexpected(what.c_str());
}

xchat_plugin make_host_table() {
    xchat_plugin table{};
    table.xchat_hook_command = host_hook_command;
    table.xchat_hook_server = unexpected_slot<2>;
    table.xchat_hook_print = unexpected_slot<3>;
    table.xchat_hook_timer = unexpected_slot<4>;
    table.xchat_hook_fd = unexpected_slot<5>;
    table.xchat_unhook = unexpected_slot<6>;
    table.xchat_print = host_print;
    table.xchat_printf = unexpected_slot<8>;
    table.xchat_command = unexpected_slot<9>;
    table.xchat_commandf = host_commandf;
    return table;
}

void run_command(const std::string &line) {
    CommandWords words;
    split_command(line, words);
    const std::string name = lower(words.word[1]);
    if (name.empty())
        return;
    const auto hook = hooks.find(name);
    if (hook == hooks.end()) {
        show_window_line("Unknown command " + std::string(words.word[1]) + ". Try /help");
        return;
    }
    const int result = hook->second.callback(words.word, words.word_eol, hook->second.user_data);
    if (result != XCHAT_EAT_ALL)
        std::fprintf(stderr, "velm-host: /%s returned %d, not %d (eat all)\n", name.c_str(), result,
                     XCHAT_EAT_ALL);
}

int usage() {
    std::fputs("usage: velm-host [--nick NAME] MODULE\n"
               "Loads a plug-in module and reads commands from standard input:\n"
               "/command args runs a command, other lines are said in the channel,\n"
               "/help lists the module's commands, /quit or end of input unloads it.\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    const char *path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--nick") == 0 && i + 1 < argc)
            nick = argv[++i];
        else if (path == nullptr && argv[i][0] != '-')
            path = argv[i];
        else
            return usage();
    }
    if (path == nullptr)
        return usage();

    module_handle module = open_module(path);
    if (module == nullptr) {
        std::fprintf(stderr, "velm-host: cannot load %s: %s\n", path, module_error().c_str());
        return 1;
    }
    // The entry points under XChat's names, or else under HexChat's: the interface is the same.
    std::string prefix = "xchat_";
    if (find_symbol(module, "xchat_plugin_init") == nullptr)
        prefix = "hexchat_";
    auto init = reinterpret_cast<init_fn>(find_symbol(module, (prefix + "plugin_init").c_str()));
    auto get_info =
        reinterpret_cast<get_info_fn>(find_symbol(module, (prefix + "plugin_get_info").c_str()));
    auto deinit =
        reinterpret_cast<deinit_fn>(find_symbol(module, (prefix + "plugin_deinit").c_str()));
    if (init == nullptr) {
        std::fprintf(stderr, "velm-host: %s has no xchat_plugin_init or hexchat_plugin_init\n",
                     path);
        close_module(module);
        return 1;
    }

    if (get_info != nullptr) {
        char *name = nullptr, *desc = nullptr, *version = nullptr;
        void *reserved_value = &hooks;
        void *reserved = reserved_value;
        get_info(&name, &desc, &version, &reserved);
        if (reserved != reserved_value)
            report_unexpected((prefix + "plugin_get_info wrote its reserved argument").c_str());
    }

    xchat_plugin table = make_host_table();
    char *name = nullptr, *desc = nullptr, *version = nullptr;
    char arg[] = "";
    if (init(&table, &name, &desc, &version, arg) != 1)
        std::fprintf(stderr, "velm-host: %splugin_init did not return 1\n", prefix.c_str());
    std::printf("-- loaded %s %s: %s\n", name ? name : "?", version ? version : "?",
                desc ? desc : "?");
    std::fflush(stdout);

    const bool interactive = isatty(fileno(stdin)) != 0;
    std::string line;
    while (true) {
        if (interactive) {
            std::fputs("> ", stdout);
            std::fflush(stdout);
        }
        if (!std::getline(std::cin, line))
            break;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!interactive)
            show_window_line("> " + line);
        if (line.empty())
            continue;
        if (line[0] != '/') {
            show_window_line(std::string("<").append(nick).append("> ").append(line));
            continue;
        }
        const std::string command = lower(line.substr(1, line.find(' ') - 1));
        if (command == "quit")
            break;
        if (command == "help") {
            std::string names;
            for (const auto &hook : hooks)
                names += " /" + hook.first;
            show_window_line("Commands of the module:" + names);
            continue;
        }
        run_command(line.substr(1));
    }

    if (deinit != nullptr && deinit() != 1)
        std::fprintf(stderr, "velm-host: %splugin_deinit did not return 1\n", prefix.c_str());
    close_module(module);
    std::puts("-- unloaded");
    return unexpected_calls == 0 ? 0 : 3;
}
