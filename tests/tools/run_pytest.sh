#!/bin/sh
# Runs the Python tests of tests/tools with the system Python. A missing module is a failure:
# `make test` installs python3-matplotlib and python3-pytest before it runs the tests.
here=$(cd "$(dirname "$0")" && pwd)
if ! /usr/bin/python3 -c 'import matplotlib, pytest' >/dev/null 2>&1; then
    echo "error: /usr/bin/python3 lacks matplotlib or pytest;" \
         "install python3-matplotlib python3-pytest (make test does this as root)" >&2
    exit 1
fi
exec /usr/bin/python3 -m pytest -q -p no:cacheprovider "$here"
