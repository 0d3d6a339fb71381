// SPDX-License-Identifier: GPL-2.0-or-later
// Loading a shared library and finding its symbols, for the console host.
#pragma once

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using module_handle = void *;

inline module_handle open_module(const char *path) noexcept {
#ifdef _WIN32
    return reinterpret_cast<module_handle>(LoadLibraryA(path));
#else
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
}

inline void *find_symbol(module_handle module, const char *name) noexcept {
#ifdef _WIN32
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
    return dlsym(module, name);
#endif
}

inline void close_module(module_handle module) noexcept {
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(module));
#else
    dlclose(module);
#endif
}

// Why the last open_module failed, for the user.
inline std::string module_error() {
#ifdef _WIN32
    return "error " + std::to_string(GetLastError());
#else
    const char *text = dlerror();
    return text == nullptr ? "unknown error" : text;
#endif
}
