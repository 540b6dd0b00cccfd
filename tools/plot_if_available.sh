#!/bin/sh
# Draw the section map of a trivella run if matplotlib is installed.
# Usage: tools/plot_if_available.sh [DIR] [-o FILE]   (DIR defaults to .)
# Without matplotlib it prints how to install it and exits 0.
here=$(cd "$(dirname "$0")" && pwd)
for py in /usr/bin/python3 python3; do
    if command -v "$py" >/dev/null 2>&1 &&
       "$py" -c 'import matplotlib' >/dev/null 2>&1; then
        exec "$py" "$here/plot_section.py" "$@"
    fi
done
echo "plot skipped: matplotlib not found (install it with: apt-get install python3-matplotlib)"
exit 0
