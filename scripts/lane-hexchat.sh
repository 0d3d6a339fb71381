#!/usr/bin/env bash
# The module inside the real client: Debian's HexChat under Xvfb loads
# velm_hexchat.so from its addons folder, talks to ngircd on loopback, and an
# observer client of the test's own checks what reaches the channel
# (tests/real_client/hexchat_session.py). Where HexChat cannot be installed
# or started, the lane says SKIPPED and counts as neither passed nor failed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev hexchat-dev binutils \
  python3 libglib2.0-dev dbus-daemon

skip() {
  echo "######## lane-hexchat: SKIPPED, velm_hexchat was NOT tested in HexChat: $1 ########"
  exit 0
}
scripts/install-deps.sh hexchat xvfb ngircd || skip "hexchat, xvfb or ngircd cannot be installed"

cmake --preset debug >/dev/null
cmake --build --preset debug -j2 --target velm_hexchat velm_hexchat_driver vc >/dev/null
status=0
timeout 60 python3 tests/real_client/hexchat_session.py build/debug/bin || status=$?
[ "$status" -eq 77 ] && skip "HexChat or its X server does not start here"
exit "$status"
