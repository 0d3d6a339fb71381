// SPDX-License-Identifier: GPL-2.0-or-later
// In-process doubles of the host and of the client library. Both write into
// one call log, so tests can check the order of everything the module does.
#pragma once

#include <string>
#include <vector>

#include "xchat_plugin.h"

struct HookedCommand {
    std::string name;
    int priority;
    xchat_command_cb callback;
    const char *help_text;
    void *user_data;
};

struct FakeHost {
    xchat_plugin table;
    std::vector<HookedCommand> hooks;
    std::vector<std::string> printed;
    std::vector<std::string> executed;
    int unexpected_calls = 0;
};

struct FakeService {
    int init_result = 0;
    int eval_result = 0;
    // Written into the caller's buffer by a successful vc_eval, as raw bytes:
    // the double may write a text without its terminator.
    std::string eval_bytes;
    int exec_result = 0;
    std::vector<int> init_modes;
    int uninit_calls = 0;
    std::vector<std::string> eval_commands;
    std::vector<std::string> exec_commands;
};

extern FakeHost fake_host;
extern FakeService fake_service;
extern std::vector<std::string> call_log;

// Resets both doubles and the call log; returns the handle to give the module.
xchat_plugin *reset_fakes();

// Runs a command callback with the given arguments after the command name, in
// a word list of XCHAT_WORD_COUNT entries like the host's.
int run_command(xchat_command_cb callback, const std::vector<std::string> &args);
