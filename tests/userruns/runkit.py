"""What the headless runs of the built program share: checks that collect
their failures, a run's outcome, an environment without a display, the file
listings they compare, and the loop over the cases."""

import hashlib
import os
import shutil
import sys
import time

from PIL import Image

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


class Run:
    def __init__(self, status, out, err):
        self.status, self.out, self.err = status, out, err


def headless_environment(base):
    """No display, German-independent UTF-8, and a settings folder of the run's own."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(LC_ALL="C.UTF-8", XDG_CONFIG_HOME=os.path.join(base, "config"))
    return env


def tree(folder):
    """Every file below folder with the digest of its bytes."""
    found = {}
    for root, _, names in os.walk(folder):
        for n in names:
            with open(os.path.join(root, n), "rb") as f:
                found[os.path.relpath(os.path.join(root, n), folder)] = hashlib.sha256(f.read()).hexdigest()
    return found


def size_of(path):
    with Image.open(path) as im:
        return im.size


def run_cases(base, cases):
    """Runs every case, removes base, and exits with 1 when a check failed."""
    try:
        for case in cases:
            started = time.monotonic()
            case()
            print(f"{case.__name__}: {time.monotonic() - started:.1f} s", flush=True)
    finally:
        shutil.rmtree(base, ignore_errors=True)
    print(f"{len(failures)} failed checks")
    sys.exit(1 if failures else 0)
