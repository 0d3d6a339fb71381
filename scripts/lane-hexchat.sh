#!/usr/bin/env bash
# The module inside the real client: Debian's HexChat under Xvfb loads
# velm_hexchat.so from its addons folder, talks to ngircd on loopback, and an
# observer client of the test's own checks what reaches the channel
# (tests/real_client/hexchat_session.py): first with the stand-in service, then
# with the MPRIS libvc.so against a real mpv with mpv-mpris on a private
# session bus, and last as the Debian package installs it. Where HexChat, or
# for the later parts mpv, mpv-mpris, sox or dbus-daemon (or, for the package,
# root), cannot be installed or started, the lane says SKIPPED for what it could
# not test, and that part counts as neither passed nor failed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev hexchat-dev binutils \
  python3 libglib2.0-dev dbus-daemon

skip() {
  echo "######## lane-hexchat: SKIPPED, velm_hexchat was NOT tested in HexChat: $1 ########"
  exit 0
}
skip_mpris() {
  echo "######## lane-hexchat: SKIPPED, the MPRIS libvc.so was NOT tested with mpv in HexChat: $1 ########"
  exit 0
}
scripts/install-deps.sh hexchat xvfb ngircd || skip "hexchat, xvfb or ngircd cannot be installed"
# gdbus (libglib2.0-bin) reads mpv's state on the bus; sox writes Ogg files
# through libsox-fmt-base.
mpris_missing=""
scripts/install-deps.sh mpv mpv-mpris sox libsox-fmt-base libglib2.0-bin ||
  mpris_missing="mpv, mpv-mpris, sox or gdbus cannot be installed"

cmake --preset debug >/dev/null
cmake --build --preset debug -j2 --target velm_hexchat velm_hexchat_driver vc >/dev/null
status=0
timeout 60 python3 tests/real_client/hexchat_session.py build/debug/bin || status=$?
[ "$status" -eq 77 ] && skip "HexChat or its X server does not start here"
[ "$status" -eq 0 ] || exit "$status"

[ -z "$mpris_missing" ] || skip_mpris "$mpris_missing"
cmake --build --preset debug -j2 --target vc_mpris >/dev/null
timeout 60 python3 tests/real_client/hexchat_session.py build/debug/bin build/debug/mpris ||
  status=$?
[ "$status" -eq 77 ] && skip_mpris "mpv, mpv-mpris, sox or dbus-daemon does not start here"
[ "$status" -eq 0 ] || exit "$status"

# The Debian package as users install it: apt-get installs it, HexChat with a
# fresh configuration folder loads the module by itself, /np announces what mpv
# plays, and apt-get removes it again, leaving none of its files. Other tests
# run on this machine afterwards: the package goes on every way out.
skip_package() {
  echo "######## lane-hexchat: SKIPPED, the Debian package was NOT installed and tested: $1 ########"
  exit 0
}
[ "$(id -u)" -eq 0 ] || skip_package "installing packages needs root"
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
timeout 60 python3 tests/real_client/hexchat_session.py build/debug/bin --installed ||
  status=$?
[ "$status" -eq 77 ] && skip_package "mpv, mpv-mpris, sox or dbus-daemon does not start here"
[ "$status" -eq 0 ] || exit "$status"
apt_get remove velm-xchat
left=""
while read -r path; do
  case "$path" in
    */velm-xchat | */velm_hexchat.so | */velm-xchat/*) [ -e "$path" ] && left+=" $path" ;;
  esac
done <<<"$installed"
[ -z "$left" ] || { echo "lane-hexchat: FAILED: apt-get remove left behind:$left"; exit 1; }
echo "lane-hexchat: the package installed, announced what mpv plays and went without a trace"
