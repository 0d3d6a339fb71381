#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""velm_hexchat inside the real HexChat.

HexChat runs under Xvfb, loads velm_hexchat.so itself from the addons folder
of a configuration folder made here, and connects to an ngircd of its own on
127.0.0.1. An observer client of ours sits in the channel and sees what HexChat
puts on the wire; it steers HexChat through the test's driver plug-in
(driver_plugin.cpp): "drive N COMMAND" runs COMMAND in the channel window and
is answered by the notice "done N", so the lines between are what COMMAND
sent. The stand-in service keeps its files in VELM_STANDIN_DIR.

With MPRIS_DIR, the folder of the MPRIS client library, the module uses that
library instead, against a real player on a private session bus, playing Ogg
files with tags made here by sox: PLAYER is mpv (with the mpv-mpris plug-in,
the default), vlc (cvlc with its D-Bus control interface) or audacious
(audacious -H with its MPRIS plug-in), each without a sound card and the only
player on its bus.

With --installed, HexChat loads the module that the package velm-xchat
installed system-wide (the addons folder holds only the driver), and the
module finds the package's MPRIS library through its RUNPATH; without it, a
system-wide copy of the module fails the test, as HexChat would load both.

    hexchat_session.py BIN_DIR [MPRIS_DIR [PLAYER] | --installed]
                                              (BIN_DIR: the build's bin folder)

Exit status 0 passed, 1 failed, 77 skipped (the client, its X server, or for
an MPRIS session the player, sox or dbus-daemon could not be started).
"""
import os
import pathlib
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import sysconfig
import tempfile
import time

SKIPPED = 77
CHANNEL = "#velm"
NICK = "velmhc"
DEADLINE = time.monotonic() + 50  # every wait below ends by then at the latest

LOADED = "VELM plug-in loaded successfully!"
NP_FAILED = ("VELM is not running, is misconfigured or Preset #3 is empty, "
             "please check readme.txt!")
VC_FAILED = "VELM is not running or is misconfigured"


class Skip(Exception):
    pass


class Failure(Exception):
    pass


def bounded(seconds):
    return min(seconds, DEADLINE - time.monotonic())


def check(condition, what, got=None):
    if not condition:
        raise Failure(what if got is None else f"{what}; got {got!r}")
    print(f"ok: {what}")


class Observer:
    """An IRC client of our own in the channel: raw lines in, raw lines out."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.pending = b""
        self.send("NICK observer", "USER observer 0 * :observer")
        self.wait_for(lambda line: line.split(b" ")[1:2] == [b"001"], 10, "welcome")
        self.send(f"JOIN {CHANNEL}")
        self.wait_for(lambda line: b" 366 " in line, 10, "join")

    def send(self, *lines):
        self.sock.sendall(b"".join(line.encode() + b"\r\n" for line in lines))

    def read_line(self, timeout):
        while b"\r\n" not in self.pending:
            ready, _, _ = select.select([self.sock], [], [], max(timeout, 0))
            if not ready:
                return None
            data = self.sock.recv(65536)
            if not data:
                raise Failure("the server closed the observer's connection")
            self.pending += data
        line, self.pending = self.pending.split(b"\r\n", 1)
        if line.startswith(b"PING "):
            self.send("PONG " + line[5:].decode())
        return line

    def wait_for(self, wanted, seconds, what):
        """Lines up to and including the first one `wanted` accepts."""
        end = time.monotonic() + bounded(seconds)
        seen = []
        while (line := self.read_line(end - time.monotonic())) is not None:
            seen.append(line)
            if wanted(line):
                return seen
        raise Failure(f"no {what} within {seconds} s; last lines: {seen[-5:]!r}")

    def drive(self, number, command, seconds=5):
        """HexChat's lines on the wire while it ran `command` (the answer left out)."""
        self.send(f"PRIVMSG {NICK} :drive {number} {command}")
        done = f":{NICK}!".encode(), f"NOTICE observer :done {number}".encode()
        lines = self.wait_for(lambda line: line.startswith(done[0]) and line.endswith(done[1]),
                              seconds, f"answer to {command!r}")
        return [line.split(b" ", 1)[1] for line in lines[:-1]
                if line.startswith(f":{NICK}!".encode())]


def action(text):
    return f"PRIVMSG {CHANNEL} :\x01ACTION {text}\x01".encode()


def unknown_command_reports(lines):
    return [line for line in lines if line.startswith(b"NOTICE observer :421 ")]


class Session:
    """One HexChat process with the module, in a locale of its own."""

    def __init__(self, work, bin_dir, display, port, name, locale, preset3, environment=()):
        self.root = work / name
        self.config = self.root / "config"
        self.service = self.root / "service"
        (self.config / "addons").mkdir(parents=True)
        self.service.mkdir()
        # An installed module is HexChat's to find: the addons folder then
        # holds only the test's driver.
        for module in ("velm_hexchat_driver.so",) + (() if INSTALLED else ("velm_hexchat.so",)):
            shutil.copy(bin_dir / module, self.config / "addons")
        (self.config / "hexchat.conf").write_text(
            f"irc_nick1 = {NICK}\nirc_nick2 = {NICK}_\nirc_nick3 = {NICK}__\n"
            f"irc_user_name = {NICK}\nirc_real_name = velm test\n"
            "gui_slist_skip = 1\nirc_logging = 1\nnet_throttle = 0\ngui_join_dialog = 0\n")
        (self.service / "running").touch()
        (self.service / "preset3").write_bytes(preset3)
        give_to_client(self.root)
        env = {
            "PATH": "/usr/bin:/bin", "HOME": str(self.root), "DISPLAY": display,
            # HexChat's own text in UTF-8 (LOCPATH holds C.UTF-8 under this
            # name); the module takes its code page from the name.
            "LC_ALL": locale, "LANG": locale, "LOCPATH": str(work / "locales"),
            "LD_LIBRARY_PATH": str(work / "lib"), "VELM_STANDIN_DIR": str(self.service),
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent",
            **dict(environment),
        }
        self.output = open(self.root / "hexchat.out", "wb")
        self.process = subprocess.Popen(
            as_client() + ["hexchat", "-d", str(self.config), f"irc://127.0.0.1:{port}"],
            env=env, stdin=subprocess.DEVNULL, stdout=self.output, stderr=subprocess.STDOUT)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.output.close()

    def log_text(self, pattern):
        return "".join(path.read_text(errors="replace")
                       for path in (self.config / "logs").glob(pattern))

    def service_file(self, name):
        path = self.service / name
        return path.read_bytes() if path.exists() else b""


def as_client():
    """HexChat run as root stops at a dialog: run it as nobody instead."""
    if os.geteuid() != 0:
        return []
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def give_to_client(path):
    if os.geteuid() == 0:
        shutil.chown(path, "nobody", "nogroup")
        for child in path.rglob("*"):
            shutil.chown(child, "nobody", "nogroup")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def start_x_server(started):
    read_end, write_end = os.pipe()
    started.append(subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    os.close(write_end)
    # The number comes when the server is ready, ended by a newline that
    # Xvfb may write separately: closing the pipe before it kills the server.
    number = b""
    end = time.monotonic() + bounded(10)
    while not number.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], max(end - time.monotonic(), 0))
        data = os.read(read_end, 16) if ready else b""
        if not data:
            break
        number += data
    os.close(read_end)
    if not number.endswith(b"\n"):
        raise Skip("Xvfb did not start")
    return ":" + number.decode().strip()


def start_irc_server(work, started):
    port = free_port()
    config = work / "ngircd.conf"
    config.write_text(
        "[Global]\nName = irc.velm.test\nInfo = velm test\nListen = 127.0.0.1\n"
        f"Ports = {port}\nMotdPhrase = velm test\n"
        "[Options]\nDNS = no\nIdent = no\nPAM = no\n")
    started.append(subprocess.Popen(["ngircd", "--nodaemon", "--config", str(config)],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    end = time.monotonic() + bounded(10)
    while time.monotonic() < end:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return port
        except OSError:
            time.sleep(0.1)
    raise Failure("ngircd is not listening after 10 s")


def western_session(session, observer):
    """Code page 1252: the whole life of the module in HexChat."""
    lines = observer.drive(1, "np")
    check(lines == [action("is playing Café € Song")],
          "/np sends the preset from code page 1252 as one UTF-8 action", lines)
    check(observer.drive(2, "vc next") == [], "/vc next sends nothing to the server")
    check(observer.drive(3, "vc play Café") == [], "/vc play Café sends nothing to the server")
    log = session.service_file("commands.log")
    check(log == b"eval formatpreset 3\nexec next\nexec play Caf\xe9\n",
          "the service received both commands in code page 1252", log)

    (session.service / "preset3").write_bytes(b"me is playing A\r\nQUIT :gone\nB")
    lines = observer.drive(4, "np")
    check(lines == [action("is playing A  QUIT :gone B")],
          "a title with CR and LF puts one line on the wire, no QUIT", lines)

    (session.service / "running").unlink()
    check(observer.drive(5, "np") == [], "/np with the service down sends nothing")
    check(observer.drive(6, "vc next") == [], "/vc next with the service down sends nothing")
    # A 421 answers a line sent before the next drive, so this one collects them all.
    lines = observer.drive(7, "echo synchronised")
    check(unknown_command_reports(lines) == [], "the server never answered 421", lines)

    check(observer.drive(8, "unload velm_hexchat.so") == [], "/unload sends nothing")
    lifecycle = session.service_file("lifecycle.log")
    check(lifecycle == b"init 1\nuninit\n", "loading ran vc_init, unloading vc_uninit",
          lifecycle)
    # Without the module /np goes to the server, which answers 421: the
    # check above could have seen one.
    lines = observer.drive(9, "np") + observer.drive(10, "echo synchronised")
    check(unknown_command_reports(lines) != [], "after /unload, /np reaches the server as 421")
    check(session.process.poll() is None, "HexChat keeps running after /unload")
    return NP_FAILED, VC_FAILED


def title_both_ways(title, words, encoding):
    """A title in one code page: /np announces it, /vc passes words of it on."""
    def steps(session, observer):
        lines = observer.drive(1, "np")
        check(lines == [action(f"is playing {title}")],
              f"/np sends the preset from {encoding} as one UTF-8 action", lines)
        check(observer.drive(2, f"vc play {words}") == [], f"/vc play {words} sends nothing")
        log = session.service_file("commands.log")
        check(log == f"eval formatpreset 3\nexec play {words}\n".encode(encoding),
              f"the service received the command in {encoding}", log)
        lines = observer.drive(3, "echo synchronised")
        check(unknown_command_reports(lines) == [], "the server never answered 421", lines)
        return ()
    return steps


# How HexChat's command parser splits what follows "/vc " into the words the
# module joins with single spaces: (the case, the line typed after "/vc ",
# the command the stand-in service receives).
MANY_WORDS = " ".join(f"w{number}" for number in range(1, 41))
WORD_SPLITTING = (
    ("a double-quoted group is one word, its quotes dropped", 'words "a  b" c', "words a  b c"),
    ("quotes inside a word group its parts", 'words a"b  c"d', "words ab  cd"),
    ("two quotes are one quote", 'words "" x', 'words " x'),
    ("two quotes in a quoted part are one quote", 'words "a ""b"" c"', 'words a "b" c'),
    ("an unclosed quote groups the rest of the line", 'words "a  b', "words a  b"),
    ("the word list holds the command and 30 words", f"words {MANY_WORDS}",
     "words " + " ".join(f"w{number}" for number in range(1, 30))),
)


def word_splitting(session, observer, bin_dir, work):
    """What the service receives for each line of WORD_SPLITTING from HexChat,
    and the same from the console host velm-host for the same lines."""
    before = session.service_file("commands.log")
    for number, (case, typed, received) in enumerate(WORD_SPLITTING, 10):
        check(observer.drive(number, f"vc {typed}") == [], f"/vc ({case}) sends nothing")
        log = session.service_file("commands.log")
        got, before = log[len(before):], log
        check(got == f"exec {received}\n".encode(), f"HexChat: {case}", got)
    service = work / "host-words"
    service.mkdir()
    (service / "running").touch()
    result = subprocess.run(
        [str(bin_dir / "velm-host"), str(bin_dir / "velm_hexchat.so")],
        input="".join(f"/vc {typed}\n" for _, typed, _ in WORD_SPLITTING).encode(),
        env={"PATH": "/usr/bin:/bin", "LC_ALL": "ja_JP.UTF-8", "LOCPATH": str(work / "locales"),
             "LD_LIBRARY_PATH": str(work / "lib"), "VELM_STANDIN_DIR": str(service)},
        capture_output=True, timeout=bounded(10))
    check(result.returncode == 0, "the console host runs the same lines", result.stderr)
    log = (service / "commands.log").read_bytes() if (service / "commands.log").exists() else b""
    expected = "".join(f"exec {received}\n" for _, _, received in WORD_SPLITTING).encode()
    check(log == expected, "the console host splits each of them as HexChat does", log)


def utf8_session(bin_dir, work):
    """Code page 65001: a title both ways, then how /vc's words are split."""
    both_ways = title_both_ways("東京 😀 Café", "東京 😀", "utf-8")

    def steps(session, observer):
        both_ways(session, observer)
        word_splitting(session, observer, bin_dir, work)
        return ()
    return steps


# What mpv plays, in this order: artist ("" for none), title, and the action
# that the MPRIS library's default preset, "me is listening to [%artist% - ]%title%",
# makes of them.
TRACKS = (
    ("Åsa Noël", "Crème brûlée à Montréal",
     "is listening to Åsa Noël - Crème brûlée à Montréal"),
    ("Ансамбль Берёза", "Зимняя ночь", "is listening to Ансамбль Берёза - Зимняя ночь"),
    ("山田花子", "東京の夜 🌃", "is listening to 山田花子 - 東京の夜 🌃"),
    ("", "Ohne Künstler", "is listening to Ohne Künstler"),
)
MPRIS = "org.mpris.MediaPlayer2"
MPV = f"{MPRIS}.mpv"
# Where Debian's HexChat loads its system-wide plug-ins from, and where the
# package velm-xchat puts the module.
SYSTEM_MODULE = pathlib.Path("/usr/lib", sysconfig.get_config_var("MULTIARCH") or "",
                             "hexchat/plugins/velm_hexchat.so")
INSTALLED = False  # set by main: test the module the package installed
PLAYER = "mpv"  # set by main: the player of an MPRIS session
# The bound on a second /np beside a player that let the first one's budget
# of a second run out (seconds, around the drive).
QUICK_SECOND_NP = 0.5


class Bus:
    """A session bus of the test's own. It runs as the client's user: a session
    bus lets in no other user, and HexChat, mpv and gdbus all use it."""

    def __init__(self, work):
        self.home = work
        result = subprocess.run(
            as_client() + ["dbus-daemon", "--session", "--fork", "--print-address=1",
                           "--print-pid=1"],
            env={"PATH": "/usr/bin:/bin"}, capture_output=True, timeout=bounded(10))
        fields = result.stdout.decode().split()
        if result.returncode or len(fields) != 2:
            raise Skip(f"dbus-daemon does not start: {result.stderr.decode(errors='replace')}")
        self.address, self.pid = fields[0], int(fields[1])

    def stop(self):
        try:
            os.kill(self.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass

    def environment(self):
        # gdbus prints text in the locale's character set: '?' for all else in C.
        return {"PATH": "/usr/bin:/bin", "HOME": str(self.home), "LC_ALL": "C.UTF-8",
                "DBUS_SESSION_BUS_ADDRESS": self.address}

    def call(self, destination, path, method, *arguments):
        """gdbus's text of the answer; "" when the call failed."""
        result = subprocess.run(
            as_client() + ["gdbus", "call", "--session", "--timeout", "5", "--dest", destination,
                           "--object-path", path, "--method", method, *arguments],
            env=self.environment(), capture_output=True, timeout=max(bounded(15), 0.1))
        return result.stdout.decode().strip() if result.returncode == 0 else ""

    def names(self):
        return self.call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus.ListNames")

    def player(self, name, field):
        """A property of a player, as gdbus prints it: "(<'Paused'>,)"."""
        return self.call(name, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Get",
                         "org.mpris.MediaPlayer2.Player", field)

    def title(self, name):
        found = re.search(r"'xesam:title': <'([^']*)'>", self.player(name, "Metadata"))
        return found and found.group(1)


def settled(read, wanted, seconds=5):
    """read()'s answer once it is `wanted`, or its last one after `seconds`."""
    end = time.monotonic() + bounded(seconds)
    while (got := read()) != wanted and time.monotonic() < end:
        time.sleep(0.1)
    return got


def make_tracks(folder):
    """Thirty seconds of a sine for each track, tagged as TRACKS says."""
    folder.mkdir()
    files = []
    for number, (artist, title, _) in enumerate(TRACKS, 1):
        files.append(folder / f"{number}.ogg")
        tags = ["--comment", f"TITLE={title}"] + (["--add-comment", f"ARTIST={artist}"]
                                                   if artist else [])
        result = subprocess.run(["sox", "-n", "-r", "44100", "-c", "1", *tags, str(files[-1]),
                                 "synth", "30", "sine", "440"],
                                capture_output=True, timeout=bounded(20))
        if result.returncode:
            raise Skip(f"sox cannot make an Ogg file: {result.stderr.decode(errors='replace')}")
    return files


def package_files(package, *endings):
    """The files that a Debian package installed under /usr/lib/, one for
    each ending ("/General/mpris2.so"), in that order."""
    listing = subprocess.run(["dpkg", "-L", package], capture_output=True, text=True,
                             timeout=10).stdout.splitlines()
    found = []
    for ending in endings:
        paths = [path for path in listing if path.startswith("/usr/lib/") and path.endswith(ending)]
        if not paths:
            raise Skip(f"{package} is not installed, or holds no *{ending}")
        found.append(paths[0])
    return found


def mpv_plugin():
    """The plug-in file that the mpv-mpris package installs, for mpv's --script."""
    return package_files("mpv-mpris", ".so")[0]


def start_player(bus, what, command, environment, log, name_of):
    """A player, once it owns its bus name: name_of(process) tells which name
    that is. Its output goes to the file log; one that never comes on the bus
    is skipped, as one that cannot be started."""
    with open(log, "ab") as output:
        process = subprocess.Popen(as_client() + command, env=environment,
                                   stdin=subprocess.DEVNULL, stdout=output,
                                   stderr=subprocess.STDOUT)
    name = name_of(process)
    end_by = time.monotonic() + bounded(10)
    while f"'{name}'" not in bus.names():
        if process.poll() is not None or time.monotonic() > end_by:
            end(process)
            raise Skip(f"{what} did not come on the bus as {name}")
        time.sleep(0.1)
    return process, name


def start_mpv(bus, plugin, files, log, name_of):
    """mpv with only the MPRIS plug-in and no sound."""
    return start_player(
        bus, "mpv with mpv-mpris",
        ["mpv", "--no-config", "--quiet", "--idle=no", "--ao=null", "--vo=null",
         f"--script={plugin}", *map(str, files)],
        bus.environment(), log, name_of)


def player_home(work, player):
    """A fresh home of the player's own, its XDG folders in it, owned by the
    user it runs as: nothing of a user's own configuration counts."""
    home = work / f"{player}-home"
    folders = {"XDG_CONFIG_HOME": home / "config", "XDG_CACHE_HOME": home / "cache",
               "XDG_DATA_HOME": home / "data"}
    for folder in folders.values():
        folder.mkdir(parents=True)
    return home, {"HOME": str(home), **{key: str(path) for key, path in folders.items()}}


def start_vlc(bus, work, files, log):
    """VLC's console program with no interface but its D-Bus control, and the
    audio and video outputs that discard everything (no sound server: VLC
    takes the dummy output at the pace of the music). VLC refuses to run as
    root; as_client() runs it as the client's user."""
    home, environment = player_home(work, "vlc")
    give_to_client(home)
    return start_player(
        bus, "VLC (cvlc) with its D-Bus control",
        ["cvlc", "--ignore-config", "--control=dbus", "--aout=dummy", "--vout=dummy",
         "--no-video", "--no-random", "--no-loop", "--no-repeat", *map(str, files)],
        {**bus.environment(), **environment}, log, lambda _: f"{MPRIS}.vlc")


def start_audacious(bus, work, files, log):
    """Audacious without its windows (-H), with a configuration of its own
    that enables the MPRIS plug-in and takes SDL for output; SDL's disk
    driver writes the sound to /dev/null at the pace of the music, so no
    sound card is needed."""
    mpris2, sdlout = package_files("audacious-plugins", "/General/mpris2.so",
                                   "/Output/sdlout.so")
    home, environment = player_home(work, "audacious")
    # Audacious keeps which plug-ins are enabled in its plug-in registry; it
    # rescans an entry whose stamp is not the file's and keeps its enabled
    # flag (another version's format is read for those flags alone).
    (home / "config" / "audacious").mkdir()
    (home / "config" / "audacious" / "plugin-registry").write_text(
        f"format 11\ngeneral {mpris2}\nstamp 0\nenabled 1\n"
        f"output {sdlout}\nstamp 0\nenabled 1\n")
    give_to_client(home)
    return start_player(
        bus, "Audacious (audacious -H) with its MPRIS plug-in",
        ["audacious", "-H", *map(str, files)],
        {**bus.environment(), **environment, "SDL_AUDIODRIVER": "disk",
         "SDL_DISKAUDIOFILE": "/dev/null"}, log, lambda _: f"{MPRIS}.audacious")


# The players besides mpv: the program that must be installed, and how to start it.
OTHER_PLAYERS = {"vlc": ("cvlc", start_vlc), "audacious": ("audacious", start_audacious)}


def end(process):
    """Ends a process of the test's, a stopped one too."""
    if process.poll() is None:
        process.send_signal(signal.SIGCONT)
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def thread_states(pid):
    """The state letters of the process's threads: {"T"} once all have stopped,
    none once the process has gone."""
    states = set()
    tasks = pathlib.Path(f"/proc/{pid}/task")
    for task in tasks.iterdir() if tasks.exists() else ():
        try:
            states.add(task.joinpath("stat").read_text().rsplit(")", 1)[1].split()[0])
        except FileNotFoundError:  # a thread that has just ended
            pass
    return states


def announce_tracks(observer, number, bus, name, player, tracks):
    """/np announces each of the tracks byte for byte, /vc next going on to
    the next; the player `name` on the bus says what it plays."""
    for index, (_, title, text) in enumerate(tracks):
        if index:
            check(observer.drive(next(number), "vc next") == [],
                  "/vc next sends nothing to the server")
        got = settled(lambda: bus.title(name), title)
        check(got == title, f"{player} plays {title!r} (Metadata on the bus)", got)
        lines = observer.drive(next(number), "np")
        check(lines == [action(text)], f"/np announces {title!r} from {player} byte for byte",
              lines)


def mpv_session(bus, work, started):
    """The MPRIS library against a real mpv: announce, control, and cope with
    a player that has gone or that owns its name and never answers."""
    plugin = mpv_plugin()
    files = make_tracks(work / "tracks")
    number = iter(range(1, 100))

    def steps(session, observer):
        shown = []
        log = work / "mpv.out"
        player, _ = start_mpv(bus, plugin, files, log, lambda _: MPV)
        started.append(player)
        announce_tracks(observer, number, bus, MPV, "mpv", TRACKS)
        # A styled preset: its formatting bytes reach the channel as written.
        conf = work / "mpv" / "xdg" / "velm" / "mpris.conf"
        conf.parent.mkdir(exist_ok=True)
        conf.write_text("preset3 = me %Bnp:%O [%artist% - ]%C04%title%%O\n")
        lines = observer.drive(next(number), "np")
        styled = f"\x02np:\x0f \x0304{TRACKS[-1][1]}\x0f"
        check(lines == [action(styled)], "a styled /np reaches the channel with its formatting",
              lines)
        conf.unlink()

        check(observer.drive(next(number), "vc pause") == [], "/vc pause sends nothing")
        got = settled(lambda: bus.player(MPV, "PlaybackStatus"), "(<'Paused'>,)")
        check(got == "(<'Paused'>,)", "/vc pause paused mpv (PlaybackStatus on the bus)", got)
        check(observer.drive(next(number), "vc volume 50") == [], "/vc volume 50 sends nothing")
        got = settled(lambda: bus.player(MPV, "Volume"), "(<0.5>,)")
        check(got == "(<0.5>,)", "/vc volume 50 set mpv's volume to 0.5 (on the bus)", got)

        # A second mpv takes a name of its own, then stops answering while it
        # still owns it.
        silent, name = start_mpv(bus, plugin, files[:1], log,
                                 lambda process: f"{MPV}.instance{process.pid}")
        started.append(silent)
        got = settled(lambda: bus.title(name), TRACKS[0][1])
        check(got == TRACKS[0][1], f"the second mpv plays {TRACKS[0][1]!r}", got)
        # SIGSTOP stops the threads one by one once one of them takes it, which
        # a thread busy in the kernel does late: until then the others answer.
        os.kill(silent.pid, signal.SIGSTOP)
        got = settled(lambda: thread_states(silent.pid), {"T"})
        check(got == {"T"}, "every thread of the second mpv has stopped", got)
        # A bound well above the library's budget, far below a D-Bus call's
        # default timeout of 25 s. The library remembers a player that let a
        # command's budget run out: later commands give it only a short grace,
        # so the second /np is quick.
        for which in ("", "a second "):
            began = time.monotonic()
            lines = observer.drive(next(number), "np", seconds=10)
            took_np = time.monotonic() - began
            check(lines in ([action(TRACKS[-1][2])], []),
                  f"{which}/np beside the silent {name} announces the first mpv's song or nothing",
                  lines)
            print(f"   ({which}/np {'announced the song' if lines else 'showed the failure message'}"
                  f" after {took_np:.2f} s)")
            shown += [] if lines else [NP_FAILED]
        began = time.monotonic()
        check(observer.drive(next(number), "vc pause", seconds=10) == [],
              f"/vc pause beside the silent {name} sends nothing")
        took = time.monotonic() - began
        # The choice of a player leaves the command time of its own: mpv plays again.
        playing = "(<'Playing'>,)"
        got = settled(lambda: bus.player(MPV, "PlaybackStatus"), playing, 2)
        check(got == playing, f"/vc pause beside the silent {name} resumed mpv", got)
        print(f"   (/vc pause resumed mpv after {took:.2f} s)")
        got = thread_states(silent.pid)
        check(got == {"T"}, "the silent mpv is still stopped", got)

        for process in (silent, player):
            end(process)
        got = settled(lambda: ".mpris." in bus.names(), False)
        check(got is False, "no player is left on the bus", bus.names())
        check(observer.drive(next(number), "np") == [], "/np with mpv gone sends nothing")
        shown.append(NP_FAILED)
        lines = observer.drive(next(number), "echo synchronised")
        check(unknown_command_reports(lines) == [], "the server never answered 421", lines)
        # Checked last, so that every other check above has had its say.
        check(took_np < QUICK_SECOND_NP,
              f"the second /np beside the silent mpv answered within {QUICK_SECOND_NP} s",
              f"{took_np:.2f} s")
        return tuple(shown)
    return steps


def player_session(bus, work, started, player):
    """The MPRIS library against another real player, the only one on the bus:
    /np announces the Cyrillic and the Japanese track with its emoji byte for
    byte, /vc next and /vc pause show on the bus."""
    program, start = OTHER_PLAYERS[player]
    if shutil.which(program) is None:
        raise Skip(f"{program} is not installed")
    tracks = TRACKS[1:3]
    files = make_tracks(work / "tracks")[1:3]
    number = iter(range(1, 100))

    def steps(session, observer):
        process, name = start(bus, work, files, work / f"{player}.out")
        started.append(process)
        announce_tracks(observer, number, bus, name, player, tracks)
        check(observer.drive(next(number), "vc pause") == [], "/vc pause sends nothing")
        paused = "(<'Paused'>,)"
        got = settled(lambda: bus.player(name, "PlaybackStatus"), paused)
        check(got == paused, f"/vc pause paused {player} (PlaybackStatus on the bus)", got)

        end(process)
        got = settled(lambda: ".mpris." in bus.names(), False)
        check(got is False, "no player is left on the bus", bus.names())
        check(observer.drive(next(number), "np") == [], f"/np with {player} gone sends nothing")
        lines = observer.drive(next(number), "echo synchronised")
        check(unknown_command_reports(lines) == [], "the server never answered 421", lines)
        return (NP_FAILED,)
    return steps


def installed_session(bus, work, started):
    """The module and library that the package installed, found by HexChat
    and by the module themselves: /np announces what mpv plays."""
    plugin = mpv_plugin()
    files = make_tracks(work / "tracks")

    def steps(session, observer):
        player, _ = start_mpv(bus, plugin, files, work / "mpv.out", lambda _: MPV)
        started.append(player)
        for number, (_, title, text) in enumerate(TRACKS[:2], 1):
            if number > 1:
                check(observer.drive(number * 10, "vc next") == [], "/vc next sends nothing")
            got = settled(lambda: bus.title(MPV), title)
            check(got == title, f"mpv plays {title!r} (Metadata on the bus)", got)
            lines = observer.drive(number, "np")
            check(lines == [action(text)], f"/np announces {title!r} byte for byte", lines)
        return []

    return steps


def check_window_text(session, failures_shown):
    everything = session.log_text("*/*.log")
    check(everything.count(LOADED) == 1, "the loaded message appears once",
          everything.count(LOADED))
    channel = session.log_text(f"*/{CHANNEL}.log")
    for message in (NP_FAILED, VC_FAILED):
        times = failures_shown.count(message)
        check(channel.count(message) == times, f"the channel window shows {message!r} "
              + {0: "never", 1: "once"}.get(times, f"{times} times"), channel.count(message))


def sessions_to_run(work, bin_dir, mpris_dir, started):
    """(name, locale, preset3, steps, environment) of each HexChat session."""
    if mpris_dir is None and not INSTALLED:
        shutil.copy(bin_dir / "libvc.so", work / "lib")
        return (
            ("western", "en_US.CP1252", "me is playing Café € Song".encode("cp1252"),
             western_session, {}),
            ("cyrillic", "ru_RU.CP1251", "me is playing Зимняя ночь".encode("cp1251"),
             title_both_ways("Зимняя ночь", "Зимняя", "cp1251"), {}),
            # UTF-8 both ways, byte for byte: Japanese, an emoji, an accented letter.
            ("utf8", "ja_JP.UTF-8", "me is playing 東京 😀 Café".encode(),
             utf8_session(bin_dir, work), {}))
    player = "mpv" if INSTALLED else PLAYER
    for program in ("sox", "dbus-daemon", "gdbus") + (("mpv",) if player == "mpv" else ()):
        if shutil.which(program) is None:
            raise Skip(f"{program} is not installed")
    if not INSTALLED:
        shutil.copy(mpris_dir / "libvc.so", work / "lib")
    bus = Bus(work)
    started.append(bus)
    (work / player / "xdg").mkdir(parents=True)  # no mpris.conf: the default preset
    environment = {"DBUS_SESSION_BUS_ADDRESS": bus.address,
                   "XDG_CONFIG_HOME": str(work / player / "xdg")}
    if INSTALLED:
        return (("installed", "en_US.UTF-8", b"", installed_session(bus, work, started),
                 environment),)
    steps = (mpv_session(bus, work, started) if player == "mpv" else
             player_session(bus, work, started, player))
    return ((player, "en_US.UTF-8", b"", steps, environment),)


def run(work, bin_dir, mpris_dir):
    for program in ("hexchat", "Xvfb", "ngircd") + (("setpriv",) if os.geteuid() == 0 else ()):
        if shutil.which(program) is None:
            raise Skip(f"{program} is not installed")
    if subprocess.run(["hexchat", "--version"], capture_output=True, timeout=10).returncode:
        raise Skip("hexchat --version fails")
    # HexChat would load a system-wide copy beside the one under test.
    if SYSTEM_MODULE.exists() != INSTALLED:
        raise Failure(f"{SYSTEM_MODULE} is installed: HexChat would load it beside the module "
                      "under test; remove it (apt-get remove velm-xchat)" if not INSTALLED else
                      f"the package did not install {SYSTEM_MODULE}")
    (work / "lib").mkdir()
    (work / "locales").mkdir()
    for name in ("en_US.CP1252", "ru_RU.CP1251", "ja_JP.UTF-8", "en_US.UTF-8"):
        (work / "locales" / name).symlink_to("/usr/lib/locale/C.utf8")
    work.chmod(0o755)

    started = []
    sessions = []
    try:
        display = start_x_server(started)
        port = start_irc_server(work, started)
        observer = Observer(port)
        joined = f":{NICK}!".encode(), f"JOIN :{CHANNEL}".encode()
        for name, locale, preset3, steps, environment in sessions_to_run(
                work, bin_dir, mpris_dir, started):
            print(f"-- HexChat with LC_ALL={locale}")
            session = Session(work, bin_dir, display, port, name, locale, preset3, environment)
            sessions.append(session)
            observer.wait_for(lambda line: line.startswith(joined[0]) and line.endswith(joined[1]),
                              20, "HexChat in the channel")
            failures_shown = steps(session, observer)
            session.stop()
            check_window_text(session, failures_shown)
    finally:
        for session in sessions:
            session.stop()
        for process in reversed(started):
            if isinstance(process, Bus):
                process.stop()
            else:
                end(process)


def terminated(*_):
    # timeout(1) sends a second SIGTERM to the whole process group: it must
    # not cut the cleanup short.
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
    raise Failure("terminated from outside")


def main():
    global INSTALLED, PLAYER
    bin_dir = pathlib.Path(sys.argv[1]).resolve()
    INSTALLED = sys.argv[2:] == ["--installed"]
    mpris_dir = pathlib.Path(sys.argv[2]).resolve() if len(sys.argv) > 2 and not INSTALLED else None
    PLAYER = sys.argv[3] if mpris_dir and len(sys.argv) > 3 else "mpv"
    if PLAYER not in ("mpv", *OTHER_PLAYERS) or len(sys.argv) > 4:
        print(f"usage: {sys.argv[0]} BIN_DIR [MPRIS_DIR [mpv|vlc|audacious] | --installed]")
        return 2
    what = "velm_hexchat in the real HexChat" + (
        " as the package installed it, with mpv" if INSTALLED else
        f" with {PLAYER} over MPRIS" if mpris_dir else "")
    work = pathlib.Path(tempfile.mkdtemp(prefix="velm-hexchat-"))
    started = time.monotonic()
    # The lane's time limit ends this with SIGTERM: the processes started
    # here, a bus daemon of its own session among them, are ended all the same.
    signal.signal(signal.SIGTERM, terminated)
    try:
        run(work, bin_dir, mpris_dir)
    except Skip as reason:
        print(f"SKIPPED: {what}: {reason}")
        return SKIPPED
    except Failure as fault:
        print(f"FAILED: {fault}")
        for kept in (sorted(work.glob("*/hexchat.out")) + sorted(work.glob("*/config/logs/*/*"))
                     + sorted(work.glob("*.out"))):
            print(f"--- {kept.relative_to(work)}\n{kept.read_text(errors='replace')}")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"passed: {what}, {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
