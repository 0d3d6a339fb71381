// SPDX-License-Identifier: GPL-2.0-or-later
// What the module says on each failure, as the tests expect it word for
// word: in the host's window for the commands, on the standard error stream
// for utf8_to_local.
#pragma once

// Window, /np: the service gave no line, or the line could not be converted.
inline constexpr char np_failure_message[] =
    "VELM is not running, is misconfigured or Preset #3 is empty, please check readme.txt!\n";
// Window, /vc: the service refused the command or could not be reached.
inline constexpr char vc_failure_message[] = "VELM is not running or is misconfigured\n";
// Window, /vc: the joined words exceed 2046 bytes; nothing is sent.
inline constexpr char vc_too_long_message[] = "VELM command is too long (at most 2046 bytes)\n";

// Standard error, utf8_to_local.
inline constexpr char utf16_out_of_memory_message[] =
    "Out of memory processing string from UTF8 to UNICODE16\n";
inline constexpr char local_out_of_memory_message[] =
    "Out of memory processing string to local charset\n";
