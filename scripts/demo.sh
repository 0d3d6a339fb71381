#!/usr/bin/env bash
# Builds the module and loads it into the console host with the stand-in
# service. Type /np or /vc ... at the prompt; end with /quit or Ctrl-D.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libgtest-dev hexchat-dev binutils unicode-data python3
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$(nproc)" --target velm_xchat velm-host vc >/dev/null
service=build/demo-service
rm -rf "$service" && mkdir -p "$service"
cp standin/sample/* "$service/"
touch "$service/running"
export VELM_STANDIN_DIR="$PWD/$service"
if [ -t 0 ]; then
  exec build/debug/bin/velm-host build/debug/bin/velm_xchat.so
fi
printf '/np\n/vc play\n/help\n' | build/debug/bin/velm-host build/debug/bin/velm_xchat.so
