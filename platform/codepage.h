// SPDX-License-Identifier: GPL-2.0-or-later
// Code-page services with the names and contracts of the Windows kernel, so that the
// converters have one source for every platform. On Windows this is the system header;
// elsewhere the files beside this one implement the same calls on tables built from iconv
// (codepage_calls.cpp holds the calls themselves).
#ifndef VELM_PLATFORM_CODEPAGE_H
#define VELM_PLATFORM_CODEPAGE_H

#include "utf16_unit.h"

#ifdef _WIN32
#include <windows.h>
#else

#include <cstdint>

using UINT = unsigned int;
using DWORD = std::uint32_t;
using BOOL = int;
// The UTF-8 codec's unit, which is the system's WCHAR where there is one.
using WCHAR = Utf16Unit;
using LPSTR = char *;
using LPCSTR = const char *;
using LPCCH = const char *;
using LPWSTR = WCHAR *;
using LPCWSTR = const WCHAR *;
using LPCWCH = const WCHAR *;
using LPBOOL = BOOL *;

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

// Only the flags that the module and our tools pass; any other flag is refused, and under code
// page 65001 every flag is, as Windows documents.
constexpr DWORD MB_PRECOMPOSED = 0x1;

constexpr DWORD WC_COMPOSITECHECK = 0x200;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;

constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

int MultiByteToWideChar(UINT cp, DWORD flags, LPCCH src, int srclen, LPWSTR dst,
                        int dstlen) noexcept;
int WideCharToMultiByte(UINT cp, DWORD flags, LPCWCH src, int srclen, LPSTR dst, int dstlen,
                        LPCCH defchar, LPBOOL used_def) noexcept;
DWORD GetLastError() noexcept;
void SetLastError(DWORD error) noexcept;
int lstrlenA(LPCSTR text) noexcept;
UINT GetACP() noexcept;

#endif

static_assert(sizeof(WCHAR) == sizeof(Utf16Unit) && WCHAR(-1) == Utf16Unit(-1),
              "the codec's unit is the system's WCHAR");
#endif
