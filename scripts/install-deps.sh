#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian packages named on the command line that are missing.
#
# The package mirror can be out of step with itself, and this copes with the two
# ways seen so far:
# - an index that fails to download ("Mirror sync in progress?"): the update is
#   retried, then the lists that did arrive are used;
# - i386 libraries that exist only at the main suite's version while their amd64
#   twins (Multi-Arch: same, so both must be at one version) are installed or
#   offered at the security suite's: the install is retried with the release
#   preferred and each such pair named at the version both architectures have.
# When a package still cannot be installed, one line per package says which and
# why, and the script exits 1. Every apt-get call is bounded in time.
set -euo pipefail

say() { echo "install-deps: $*" >&2; }

missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
apt_options=(-q -o DPkg::Lock::Timeout=600 -o Acquire::Retries=3 -o Acquire::http::Timeout=60)

for package in "${missing[@]}"; do
  # Packages of another architecture need that architecture enabled first.
  case "$package" in
    *:i386) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
  esac
done

echo "Installing: ${missing[*]}"
updated=0
for attempt in 1 2 3; do
  if $sudo timeout 600 apt-get "${apt_options[@]}" update >/tmp/install-deps-update.log 2>&1; then
    updated=1
    break
  fi
  [ "$attempt" -eq 3 ] || sleep 5
done
if [ "$updated" -eq 0 ]; then
  say "some package indexes did not download, going on with those that did:" \
    "$(grep -m1 -E '^(E|W): Failed' /tmp/install-deps-update.log || tail -n1 /tmp/install-deps-update.log)"
fi

install() { # install [apt-get options and packages...]
  $sudo timeout 1800 apt-get "${apt_options[@]}" install -y --no-install-recommends "$@"
}
install "${missing[@]}" && exit 0

# The pinned retry. The release's own suite is preferred, and each i386 package
# that apt names as unmet gets its amd64 twin pinned with it to the i386
# version; this repeats while it finds new pairs.
release="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
pinned=(-o "APT::Default-Release=$release" --allow-downgrades)
pins=()
candidate() { apt-cache "${pinned[@]:0:2}" policy "$1" 2>/dev/null | awk '/Candidate:/ {print $2}'; }
has_version() { apt-cache madison "$1" 2>/dev/null | awk -F'|' -v v="$2" '{gsub(/ /, "", $2)} $2 == v {found = 1} END {exit !found}'; }
simulate() { apt-get "${apt_options[@]}" "${pinned[@]}" install -s -y --no-install-recommends "$@" 2>&1; }
for round in 1 2 3 4 5 6; do
  plan="$(simulate "${missing[@]}" "${pins[@]}")" && ! grep -q '^Remv ' <<<"$plan" && break
  new=0
  # Names of unmet i386 packages, and of packages the plan would remove.
  for name in $(grep -oE '[a-z0-9][a-z0-9.+-]*:i386' <<<"$plan" | sort -u) \
    $(awk '/^Remv / {print $2}' <<<"$plan"); do
    base="${name%%:*}"
    version="$(candidate "$base:i386")"
    [ -n "$version" ] && [ "$version" != "(none)" ] || continue
    [[ " ${pins[*]} " == *" $base:i386=$version "* ]] && continue
    has_version "$base:amd64" "$version" || continue
    pins+=("$base:amd64=$version" "$base:i386=$version")
    new=1
  done
  [ "$new" -eq 1 ] || break
done
say "retrying with the $release suite's versions preferred${pins[*]:+, and these pinned: ${pins[*]}}"
install "${pinned[@]}" "${missing[@]}" "${pins[@]}" && exit 0

# Still not installable: say which package and why, one line each.
for package in "${missing[@]}"; do
  plan="$(simulate "$package" "${pins[@]}")" && continue
  why="$(grep -m1 -E ' : (Depends|PreDepends|Conflicts|Breaks):|^E: ' <<<"$plan" | sed 's/^ *//')"
  say "cannot install $package: ${why:-apt-get refused it}"
done
exit 1
