// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for the service's client library, for tests and the demo.
//
// The "service" is a directory named by VELM_STANDIN_DIR, holding plain files
// whose text is in the ANSI code page:
//   running       present while the service runs
//   preset3       format preset 3, in the template language of render.h, with
//                 the fields artist, title and status
//   playlist      one song a line: artist, a tab, title
//   state         "<status> <index>", status playing, paused or stopped
//   commands.log  every command received, one a line: "eval <text>" or "exec <text>"
//   lifecycle.log "init <mode>" and "uninit", one a line, as the library is
//                 started and shut down
// The player commands play, pause, stop, next and prev change the state;
// quit stops the service; every other command is logged and accepted.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "encoding.h"
#include "render.h"
#include "vc.h"

#ifdef _WIN32
#define STANDIN_EXPORT
#else
#define STANDIN_EXPORT __attribute__((visibility("default")))
#endif

namespace {

struct Song {
    std::string artist;
    std::string title;
};

struct PlayerState {
    std::string status = "playing";
    std::size_t index = 0;
};

std::string state_path(const char *name) {
    const char *dir = std::getenv("VELM_STANDIN_DIR");
    return dir == nullptr || *dir == '\0' ? std::string() : std::string(dir) + "/" + name;
}

bool read_file(const char *name, std::string &text) {
    const std::string path = state_path(name);
    FILE *file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    text.clear();
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, got);
    std::fclose(file);
    return true;
}

void write_file(const char *name, const std::string &text, const char *mode) {
    const std::string path = state_path(name);
    if (FILE *file = std::fopen(path.c_str(), mode)) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

bool service_running() {
    std::string ignored;
    return read_file("running", ignored);
}

std::vector<Song> read_playlist() {
    std::vector<Song> songs;
    std::string text;
    if (!read_file("playlist", text))
        return songs;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty()) {
            const std::size_t tab = line.find('\t');
            if (tab == std::string::npos)
                songs.push_back({"", line});
            else
                songs.push_back({line.substr(0, tab), line.substr(tab + 1)});
        }
        start = end + 1;
    }
    return songs;
}

PlayerState read_state() {
    PlayerState state;
    std::string text;
    if (read_file("state", text)) {
        char status[16] = "";
        unsigned long index = 0;
        if (std::sscanf(text.c_str(), "%15s %lu", status, &index) == 2) {
            state.status = status;
            state.index = index;
        }
    }
    return state;
}

void write_state(const PlayerState &state) {
    write_file("state", state.status + " " + std::to_string(state.index) + "\n", "wb");
}

void log_command(const char *kind, const char *command) {
    write_file("commands.log", std::string(kind) + " " + command + "\n", "ab");
}

// The ANSI code page text in UTF-8, for the renderer; empty when it cannot
// be converted.
std::string to_utf8(const std::string &local) {
    char *utf8 = nullptr;
    if (local.empty() || local_to_utf8(local.c_str(), &utf8) != 0)
        return {};
    std::string text(utf8);
    std::free(utf8);
    return text;
}

// Renders preset 3 for the current song, in UTF-8; empty when nothing can be
// shown.
std::string render_preset3() {
    std::string preset;
    if (!read_file("preset3", preset))
        return {};
    while (!preset.empty() && (preset.back() == '\n' || preset.back() == '\r'))
        preset.pop_back();
    const PlayerState state = read_state();
    if (state.status == "stopped")
        return {};
    const std::vector<Song> songs = read_playlist();
    const Song song = songs.empty() ? Song{} : songs[state.index % songs.size()];
    const std::string artist = to_utf8(song.artist);
    const std::string title = to_utf8(song.title);
    const TemplateField fields[] = {{"artist", artist}, {"title", title}, {"status", state.status}};
    return render_template(to_utf8(preset), fields, result_text_limit).text;
}

void run_player_command(const char *command) {
    PlayerState state = read_state();
    const std::size_t count = read_playlist().size();
    if (std::strcmp(command, "play") == 0) {
        state.status = "playing";
    } else if (std::strcmp(command, "pause") == 0) {
        state.status = state.status == "paused" ? "playing" : "paused";
    } else if (std::strcmp(command, "stop") == 0) {
        state.status = "stopped";
    } else if (std::strcmp(command, "next") == 0) {
        state.index = count == 0 ? 0 : (state.index + 1) % count;
        state.status = "playing";
    } else if (std::strcmp(command, "prev") == 0) {
        state.index = count == 0 ? 0 : (state.index + count - 1) % count;
        state.status = "playing";
    } else if (std::strcmp(command, "quit") == 0) {
        std::remove(state_path("running").c_str());
        return;
    } else {
        return;
    }
    write_state(state);
}

} // namespace

extern "C" {

STANDIN_EXPORT int VC_CALL vc_init(int mode) {
    write_file("lifecycle.log", "init " + std::to_string(mode) + "\n", "ab");
    return 0;
}

STANDIN_EXPORT int VC_CALL vc_uninit(void) {
    write_file("lifecycle.log", "uninit\n", "ab");
    return 0;
}

STANDIN_EXPORT int VC_CALL vc_eval(const char *command, char *result) {
    if (!service_running())
        return 1;
    log_command("eval", command);
    if (std::strcmp(command, "formatpreset 3") != 0)
        return 2;
    std::string text = render_preset3();
    if (text.empty())
        return 3;
    return write_local_result(text, result) == 0 ? 0 : 4;
}

STANDIN_EXPORT int VC_CALL vc_exec(const char *command) {
    if (!service_running())
        return 1;
    log_command("exec", command);
    run_player_command(command);
    return 0;
}

} // extern "C"
