"""Tests for tools/ensure_packages.sh, with dpkg-query, id and apt-get replaced by stubs."""
import os
import subprocess
from pathlib import Path

SCRIPT = Path(__file__).resolve().parents[2] / "tools" / "ensure_packages.sh"

# Each stub logs its call; dpkg-query answers from STUB_STATUS ("name=status;...").
STUBS = {
    "dpkg-query": """#!/bin/sh
name=$3
IFS=';'
for entry in $STUB_STATUS; do
    if [ "${entry%%=*}" = "$name" ]; then printf '%s' "${entry#*=}"; exit 0; fi
done
echo "dpkg-query: no packages found matching $name" >&2
exit 1
""",
    "id": '#!/bin/sh\necho "$STUB_UID"\n',
    "apt-get": """#!/bin/sh
echo "apt-get $* [$DEBIAN_FRONTEND]" >> "$STUB_LOG"
[ "$1" != update ] || [ -z "${STUB_UPDATE_FAILS:-}" ] || exit 100
""",
}

INSTALLED = "install ok installed"


def run_script(tmp_path, packages, status, uid, update_fails=False):
    bin_dir = tmp_path / "bin"
    bin_dir.mkdir(exist_ok=True)
    for name, text in STUBS.items():
        (bin_dir / name).write_text(text)
        (bin_dir / name).chmod(0o755)
    log = tmp_path / "apt.log"
    log.write_text("")
    env = {"PATH": f"{bin_dir}:/usr/bin:/bin", "STUB_LOG": str(log), "STUB_UID": str(uid),
           "STUB_STATUS": ";".join(f"{k}={v}" for k, v in status.items())}
    if update_fails:
        env["STUB_UPDATE_FAILS"] = "1"
    r = subprocess.run(["/bin/sh", str(SCRIPT), *packages], env=env, capture_output=True,
                       text=True, timeout=30, stdin=subprocess.DEVNULL)
    return r, log.read_text().splitlines()


def test_nothing_missing_runs_no_apt_get(tmp_path):
    for uid in (0, 1000):
        r, calls = run_script(tmp_path, ["a", "b"], {"a": INSTALLED, "b": INSTALLED}, uid)
        assert (r.returncode, calls, r.stderr) == (0, [], "")


def test_root_updates_once_then_installs_only_the_missing(tmp_path):
    # catches: installing every listed package, or skipping a half-removed one
    status = {"a": INSTALLED, "c": "deinstall ok config-files", "d": INSTALLED}
    r, calls = run_script(tmp_path, ["a", "b", "c", "d", "e"], status, 0)
    assert r.returncode == 0, r.stderr
    assert calls == ["apt-get update [noninteractive]",
                     "apt-get install -y --no-install-recommends b c e [noninteractive]"]


def test_failed_update_stops_before_install(tmp_path):
    r, calls = run_script(tmp_path, ["b"], {}, 0, update_fails=True)
    assert r.returncode != 0
    assert calls == ["apt-get update [noninteractive]"]


def test_other_user_gets_the_command_and_an_error(tmp_path):
    r, calls = run_script(tmp_path, ["a", "b", "c"], {"b": INSTALLED}, 1000)
    assert (r.returncode, calls) == (1, [])
    assert ("    sudo apt-get update && sudo apt-get install -y --no-install-recommends a c\n"
            in r.stderr)
