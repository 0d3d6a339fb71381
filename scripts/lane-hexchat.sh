#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The module inside the real client: Debian's HexChat under Xvfb loads
# velm_hexchat.so from its addons folder, talks to ngircd on loopback, and an
# observer client of the test's own checks what reaches the channel
# (tests/real_client/hexchat_session.py): first with the stand-in service, then
# with the MPRIS libvc.so against each real player in turn, alone on a private
# session bus (mpv with mpv-mpris, VLC, Audacious), and last as the Debian
# package installs it. Where HexChat, or for a player's part the player, sox,
# gdbus or dbus-daemon (or, for the package, mpv or root), cannot be installed
# or started, the lane says SKIPPED for what it could not test, and that part
# counts as neither passed nor failed. A player's part that fails does not stop
# the others: the lane fails at its end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev hexchat-dev binutils \
  python3 libglib2.0-dev dbus-daemon

failed=""
finish() {
  [ -z "$failed" ] || { echo "lane-hexchat: FAILED:$failed"; exit 1; }
  exit 0
}
skip() {
  echo "######## lane-hexchat: SKIPPED, velm_hexchat was NOT tested in HexChat: $1 ########"
  exit 0
}
skip_player() {
  echo "######## lane-hexchat: SKIPPED, the MPRIS libvc.so was NOT tested with $1 in HexChat: $2 ########"
}
scripts/install-deps.sh hexchat xvfb ngircd || skip "hexchat, xvfb or ngircd cannot be installed"
# Each player's packages; gdbus (libglib2.0-bin) reads a player's state on the
# bus, sox writes Ogg files through libsox-fmt-base. The players' part
# installs them all at once, and a player at a time only where that fails.
players=(mpv vlc audacious)
declare -A packages=([mpv]="mpv mpv-mpris" [vlc]="vlc-bin vlc-plugin-base"
  [audacious]="audacious audacious-plugins")
declare -A missing=()
common="sox libsox-fmt-base libglib2.0-bin"
if ! scripts/install-deps.sh $common ${packages[mpv]} ${packages[vlc]} ${packages[audacious]}; then
  for player in "${players[@]}"; do
    scripts/install-deps.sh $common ${packages[$player]} ||
      missing[$player]="${packages[$player]// /, }, sox or gdbus cannot be installed"
  done
fi

cmake --preset debug >/dev/null
cmake --build --preset debug -j2 --target velm_hexchat velm_hexchat_driver vc velm-host >/dev/null
status=0
timeout 60 python3 tests/real_client/hexchat_session.py build/debug/bin || status=$?
[ "$status" -eq 77 ] && skip "HexChat or its X server does not start here"
[ "$status" -eq 0 ] || exit "$status"

cmake --build --preset debug -j2 --target vc_mpris >/dev/null
for player in "${players[@]}"; do
  if [ -n "${missing[$player]:-}" ]; then
    skip_player "$player" "${missing[$player]}"
    continue
  fi
  status=0
  timeout 60 python3 tests/real_client/hexchat_session.py build/debug/bin build/debug/mpris \
    "$player" || status=$?
  case "$status" in
    0) ;;
    77) skip_player "$player" "$player, sox or dbus-daemon does not start here" ;;
    *) failed+=" the MPRIS part with $player (exit status $status)" ;;
  esac
done

# The Debian package as users install it: apt-get installs it, HexChat with a
# fresh configuration folder loads the module by itself, /np announces what mpv
# plays, and apt-get removes it again, leaving none of its files. Other tests
# run on this machine afterwards: the package goes on every way out.
skip_package() {
  echo "######## lane-hexchat: SKIPPED, the Debian package was NOT installed and tested: $1 ########"
  finish
}
[ "$(id -u)" -eq 0 ] || skip_package "installing packages needs root"
[ -z "${missing[mpv]:-}" ] || skip_package "${missing[mpv]}"
apt_get() {
  DEBIAN_FRONTEND=noninteractive timeout 600 apt-get -q -y -o DPkg::Lock::Timeout=600 "$@" \
    >build/apt-package.log 2>&1 || { cat build/apt-package.log; return 1; }
}
remove_package() {
  if dpkg-query -W -f='${Status}' velm-xchat 2>/dev/null | grep -q "ok installed"; then
    apt_get remove velm-xchat
  fi
}
deb=$(scripts/build-deb.sh)
trap remove_package EXIT
apt_get install "./$deb"
installed=$(dpkg-query -L velm-xchat)
status=0
timeout 60 python3 tests/real_client/hexchat_session.py build/debug/bin --installed ||
  status=$?
[ "$status" -eq 77 ] && skip_package "mpv, mpv-mpris, sox or dbus-daemon does not start here"
[ "$status" -eq 0 ] || { failed+=" the package's session (exit status $status)"; finish; }
apt_get remove velm-xchat
left=""
while read -r path; do
  case "$path" in
    */velm-xchat | */velm_hexchat.so | */velm-xchat/*) [ -e "$path" ] && left+=" $path" ;;
  esac
done <<<"$installed"
[ -z "$left" ] || { failed+=" apt-get remove left behind:$left"; finish; }
echo "lane-hexchat: the package installed, announced what mpv plays and went without a trace"
finish
