#!/bin/sh
# Installs those of the given Debian packages that are not installed yet.
# Usage: tools/ensure_packages.sh PACKAGE...
# As root it runs apt-get update once, then apt-get install of the missing ones only. As any
# other user it prints the command to run and exits 1. Nothing missing: no apt-get at all.
set -eu

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "not a Debian system: make sure these are installed: $*" >&2
    exit 0
fi

missing=
for p in "$@"; do
    # "deinstall ok config-files" and unknown names count as missing, too.
    if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
        missing="$missing $p"
    fi
done
[ -n "$missing" ] || exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages:$missing" >&2
    echo "install them with:" >&2
    echo "    sudo apt-get update && sudo apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi

echo "installing missing Debian packages:$missing"
# No questions: CI runs this without a terminal.
export DEBIAN_FRONTEND=noninteractive
apt-get update
# shellcheck disable=SC2086  # one word per package
apt-get install -y --no-install-recommends $missing
