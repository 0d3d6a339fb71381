#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package velm-xchat (the HexChat module and the MPRIS client
# library) in build/deb and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake hexchat-dev libglib2.0-dev pkg-config dpkg-dev >&2
cmake --preset deb >/dev/null
cmake --build --preset deb -j2 --target velm_hexchat velm_xchat vc_mpris >/dev/null
rm -f build/packages/velm-xchat_*.deb
(cd build/deb && cpack -G DEB >/dev/null)
ls build/packages/velm-xchat_*_*.deb
