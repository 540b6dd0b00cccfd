#!/bin/sh
# Runs the plotting tool's tests with the system Python; exit 77 (skipped) without matplotlib.
here=$(cd "$(dirname "$0")" && pwd)
if ! /usr/bin/python3 -c 'import matplotlib, pytest' >/dev/null 2>&1; then
    echo "skipped: /usr/bin/python3 lacks matplotlib or pytest (apt-get install python3-matplotlib python3-pytest)"
    exit 77
fi
exec /usr/bin/python3 -m pytest -q -p no:cacheprovider "$here"
