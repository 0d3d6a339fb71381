// SPDX-License-Identifier: GPL-2.0-or-later
// The service's client library, as the module uses it. Text in both
// directions is in the system's ANSI code page.
#pragma once

// Calling convention of the client library's functions, in one place.
#define VC_CALL

// Size of the result buffer that vc_eval writes: the library is given no
// size, so every caller supplies exactly this many bytes.
#define VC_RESULT_SIZE 2048

extern "C" {
int VC_CALL vc_init(int mode);
int VC_CALL vc_uninit(void);
// Runs a service command and writes its zero-terminated result into
// `result`; 0 on success.
int VC_CALL vc_eval(const char *command, char *result);
// Runs a service command; 0 when the service accepted it.
int VC_CALL vc_exec(const char *command);
}
