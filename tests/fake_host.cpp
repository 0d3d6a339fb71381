// SPDX-License-Identifier: GPL-2.0-or-later
#include "fake_host.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "vc.h"

FakeHost fake_host;
FakeService fake_service;
std::vector<std::string> call_log;

namespace {

xchat_hook *hook_command(xchat_plugin *ph, const char *name, int pri, xchat_command_cb callback,
                         const char *help_text, void *user_data) {
    if (ph != &fake_host.table)
        ++fake_host.unexpected_calls;
    fake_host.hooks.push_back({name, pri, callback, help_text, user_data});
    call_log.push_back(std::string("hook ") + name);
    return reinterpret_cast<xchat_hook *>(&fake_host.hooks);
}

void print(xchat_plugin *ph, const char *text) {
    if (ph != &fake_host.table)
        ++fake_host.unexpected_calls;
    fake_host.printed.emplace_back(text);
    call_log.push_back(std::string("print ") + text);
}

void commandf(xchat_plugin *ph, const char *format, ...) {
    if (ph != &fake_host.table || std::strcmp(format, "%s") != 0)
        ++fake_host.unexpected_calls;
    va_list args;
    va_start(args, format);
    const char *text = va_arg(args, const char *);
    va_end(args);
    fake_host.executed.emplace_back(text);
    call_log.push_back(std::string("command ") + text);
}

void unexpected() {
    ++fake_host.unexpected_calls;
    call_log.emplace_back("unexpected host call");
}

} // namespace

xchat_plugin *reset_fakes() {
    fake_host = FakeHost{};
    fake_host.table.xchat_hook_command = hook_command;
    fake_host.table.xchat_hook_server = unexpected;
    fake_host.table.xchat_hook_print = unexpected;
    fake_host.table.xchat_hook_timer = unexpected;
    fake_host.table.xchat_hook_fd = unexpected;
    fake_host.table.xchat_unhook = unexpected;
    fake_host.table.xchat_print = print;
    fake_host.table.xchat_printf = unexpected;
    fake_host.table.xchat_command = unexpected;
    fake_host.table.xchat_commandf = commandf;
    fake_service = FakeService{};
    call_log.clear();
    return &fake_host.table;
}

int run_command(xchat_command_cb callback, const std::vector<std::string> &args) {
    std::vector<std::string> words{"", "cmd"};
    words.insert(words.end(), args.begin(), args.end());
    words.resize(XCHAT_WORD_COUNT);
    char *word[XCHAT_WORD_COUNT];
    char *word_eol[XCHAT_WORD_COUNT];
    for (int i = 0; i < XCHAT_WORD_COUNT; ++i)
        word[i] = word_eol[i] = words[i].data();
    return callback(word, word_eol, nullptr);
}

extern "C" {

int VC_CALL vc_init(int mode) {
    fake_service.init_modes.push_back(mode);
    call_log.push_back("vc_init " + std::to_string(mode));
    return fake_service.init_result;
}

int VC_CALL vc_uninit(void) {
    ++fake_service.uninit_calls;
    call_log.emplace_back("vc_uninit");
    return 0;
}

int VC_CALL vc_eval(const char *command, char *result) {
    fake_service.eval_commands.emplace_back(command);
    call_log.push_back(std::string("vc_eval ") + command);
    if (fake_service.eval_result == 0)
        std::memcpy(result, fake_service.eval_bytes.data(), fake_service.eval_bytes.size());
    return fake_service.eval_result;
}

int VC_CALL vc_exec(const char *command) {
    fake_service.exec_commands.emplace_back(command);
    call_log.push_back(std::string("vc_exec ") + command);
    return fake_service.exec_result;
}

} // extern "C"
