#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The demo: installs what is missing (Debian 12), builds the module, prepares
# the stand-in service with a small playlist and loads the module into the
# console host. At a terminal you type the commands (try /np, /vc next, /np,
# /vc stop, /np, /vc quit, /np; end with /quit or Ctrl-D). Without a terminal
# it runs the scripted sessions tests/host_sessions/demo*, which the tests
# check line by line, and exits with the host's status.
#
# The service's files are in the ANSI code page, which follows the locale
# environment (LC_ALL, LC_CTYPE, LANG). The demo sets LC_ALL itself:
# VELM_DEMO_LOCALE chooses it at a terminal (default en_US.CP1252, code page
# 1252; ru_RU.CP1251 gives 1251, any UTF-8 locale 65001), and each scripted
# session names its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev hexchat-dev \
  binutils unicode-data python3 libglib2.0-dev dbus-daemon
echo "Building (cmake --preset debug) ..."
cmake --preset debug >/dev/null
cmake --build --preset debug -j2 --target velm_xchat velm-host vc velm-ansi-text >/dev/null
bin=build/debug/bin

# Lays out the service of a session folder under build/demo/ with its text
# written in the code page of the locale, then runs the host in that locale.
# Standard input is the host's: the session's script, or the terminal.
run_session() {
  local session=$1 locale=$2
  local service
  service=build/demo/$(basename "$session")
  rm -rf "$service" && mkdir -p "$service"
  cp -R "$session/service/." "$service/"
  for utf8_file in "$service"/*.utf8; do
    env LC_ALL="$locale" "$bin/velm-ansi-text" <"$utf8_file" >"${utf8_file%.utf8}"
    rm "$utf8_file"
  done
  local code_page
  code_page=$(env LC_ALL="$locale" "$bin/velm-ansi-text" --code-page)
  echo
  echo "=== LC_ALL=$locale: the ANSI code page is $code_page."
  echo "    The service's playlist (shown here in UTF-8):"
  sed 's/^/      /; s/\t/ - /' "$session/service/playlist.utf8"
  if [ "$code_page" = 65001 ]; then
    echo "    The service keeps it in code page 65001, UTF-8, which holds every character."
  else
    echo "    The service keeps it in code page $code_page; a character that code page"
    echo "    cannot hold reaches the module as '?', as it does from the real service."
  fi
  echo
  env LC_ALL="$locale" LANG="$locale" VELM_STANDIN_DIR="$PWD/$service" \
    "$bin/velm-host" "$bin/velm_xchat.so"
}

if [ -t 0 ]; then
  echo "Type /np to announce the song, /vc next|prev|play|pause|stop to steer the"
  echo "player, /vc quit to stop the service, /help for the module's commands, /quit to end."
  run_session tests/host_sessions/demo "${VELM_DEMO_LOCALE:-en_US.CP1252}"
  exit
fi

for session in tests/host_sessions/demo tests/host_sessions/demo_cyrillic \
  tests/host_sessions/demo_utf8; do
  locale=en_US.CP1252
  [ -f "$session/locale" ] && read -r locale <"$session/locale"
  run_session "$session" "$locale" <"$session/input.txt"
done
