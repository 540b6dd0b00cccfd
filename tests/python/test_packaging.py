"""pip builds the package from a copy of the source tree, offline, and installs it into a
fresh venv and into a user site; each imports, carries the version of VERSION and computes
the same bits as the module of this build. make install's directory is one its Python reads."""
import os
import shutil
import site
import subprocess
import sys
from pathlib import Path

import trivella
from trivella import _engine, _probe

ROOT = Path(__file__).resolve().parents[2]
CHECK = ("import sys, trivella; from trivella import _engine, _probe; "
         "print(trivella.__version__, _probe.fingerprint(_engine), trivella.__file__)")


def run(args, **kwargs):
    done = subprocess.run(args, capture_output=True, text=True, timeout=1500, **kwargs)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout


def build_env():
    env = dict(os.environ, PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1")
    env.pop("PYTHONPATH", None)  # the build tree's package must not stand in for the installed one
    if shutil.which("ccache"):  # only faster: the same compiler and flags
        env.update(CC="ccache gcc", CCACHE_NOHASHDIR="1")
    return env


def test_pip_installs_into_a_venv_and_a_user_site(tmp_path):
    source = tmp_path / "source"
    shutil.copytree(ROOT, source, ignore=shutil.ignore_patterns(
        "build", ".git", "__pycache__", "*.egg-info", "node_modules", "RESULT"))
    env = build_env()
    venv = tmp_path / "venv"
    run([sys.executable, "-m", "venv", "--system-site-packages", venv])
    python = venv / "bin" / "python"
    run([python, "-m", "pip", "wheel", "--no-build-isolation", "--no-deps", "-w",
         tmp_path / "wheels", source], env=env)
    wheel = next((tmp_path / "wheels").glob("trivella-*.whl"))
    run([python, "-m", "pip", "install", wheel], env=env)

    user = dict(env, PYTHONUSERBASE=str(tmp_path / "user"))
    # Debian's pip refuses the system Python's user site without --break-system-packages.
    run([sys.executable, "-m", "pip", "install", "--user", "--break-system-packages", wheel],
        env=user)

    version = (ROOT / "VERSION").read_text().split()[0]
    expected = f"{version} {_probe.fingerprint(_engine)}"
    for interpreter, where, run_env in ((python, venv, env), (sys.executable, tmp_path / "user",
                                                             user)):
        out = run([interpreter, "-c", CHECK], env=run_env, cwd=tmp_path).split()
        assert " ".join(out[:2]) == expected
        assert out[2].startswith(str(where))
    assert trivella.__version__ == version


def test_make_install_dir_is_read_by_that_prefixes_python(tmp_path):
    script = ROOT / "tools" / "python_site_dir.py"
    user_site = Path(site.getusersitepackages())
    out = run([sys.executable, script, site.USER_BASE]).strip()
    assert Path(site.USER_BASE) / out == user_site
    # A venv's prefix: the directory is on that venv's own path.
    venv = tmp_path / "venv"
    run([sys.executable, "-m", "venv", "--without-pip", venv])
    out = run([sys.executable, script, venv]).strip()
    path = run([venv / "bin" / "python", "-c", "import sys; print('\\n'.join(sys.path))"])
    assert str(venv / out) in path.split("\n")
