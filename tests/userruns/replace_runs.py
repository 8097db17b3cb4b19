#!/usr/bin/python3
"""Headless runs that replace originals, meet damaged sources and plan
clashes: originals go to the trash of a temporary XDG_DATA_HOME only when
asked, a file system without a trash keeps its original, a photograph cut
in half is converted with a warning, and a dry run reports what a real run
would.

    replace_runs.py <corvalin>"""

import json
import os
import subprocess
import sys
import tempfile

from PIL import Image

import runkit
from runkit import check, headless_environment

PROGRAM = os.path.abspath(sys.argv[1])
BASE = tempfile.mkdtemp(prefix="corvalin-replace-")


def run(*arguments, cwd=None, data_home=None):
    env = headless_environment(BASE)
    env["XDG_DATA_HOME"] = data_home or os.path.join(BASE, "no-data-home-given")
    done = subprocess.run([PROGRAM] + list(arguments), env=env, cwd=cwd,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return runkit.Run(done.returncode, done.stdout.decode("utf-8", "replace"),
                      done.stderr.decode("utf-8", "replace"))


def folder_with_photo(name):
    folder = os.path.join(BASE, name)
    os.makedirs(folder)
    Image.new("RGB", (80, 60), (200, 40, 40)).save(os.path.join(folder, "a.jpg"), quality=90)
    return folder


def read(path):
    with open(path, "rb") as f:
        return f.read()


def store(settings):
    folder = os.path.join(BASE, "config", "Corvalin")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Corvalin.conf"), "w") as f:
        f.write("[Corvalin]\n" + settings)


def trash_and_replace():
    # (name, arguments, stored settings, trash usable, trashed, first line, status)
    table = [
        ("switch", ["/auto=1", "/copy=0", "/trash=1"], "", True, True,
         "Originale werden ersetzt (/copy=0); sie kommen zuerst in den Papierkorb", 0),
        ("stored copy, stored trash", ["/auto=1"], "copy=0\ntrash=1\n", True, False,
         "Originale werden ersetzt (copy=0 aus den gespeicherten Einstellungen)", 0),
        ("long option", ["--in-place", "--trash"], "", True, True, None, 0),
        ("long option without", ["--in-place"], "", True, False, None, 0),
        ("no trash there", ["/auto=1", "/copy=0", "/trash=1"], "", False, False,
         "Originale werden ersetzt (/copy=0); sie kommen zuerst in den Papierkorb", 1),
    ]
    for name, arguments, settings, usable, trashed, first, status in table:
        folder = folder_with_photo("trash " + name)
        original = read(os.path.join(folder, "a.jpg"))
        store(settings)
        data_home = os.path.join(folder, "data")
        if not usable:
            open(data_home, "w").close()  # a file where the trash's folder would go
            data_home = os.path.join(data_home, "share")
        if arguments[0] == "/auto=1":
            arguments = arguments + [f"/dir={folder}/", "/width=40", "/height=30"]
        else:
            arguments = arguments + ["--fit=width", "--width=40", os.path.join(folder, "a.jpg")]
        done = run(*arguments, data_home=data_home, cwd=folder)
        check(done.status == status, f"{name}: status {done.status}: {done.err}")
        lines = done.out.splitlines()
        if first is not None:
            check(lines[:1] == [first], f"{name}: first line {lines[:1]}")
        in_trash = os.path.join(data_home, "Trash", "files", "a.jpg")
        check(os.path.exists(in_trash) == trashed, f"{name}: original in the trash: {os.path.exists(in_trash)}")
        if trashed:
            check(read(in_trash) == original, f"{name}: the trash holds the original")
            info = read(os.path.join(data_home, "Trash", "info", "a.jpg.trashinfo")).decode()
            check(f"Path={folder}/a.jpg" in info.replace("%20", " "), f"{name}: trash info {info!r}")
            check(any(l.endswith(" (Original im Papierkorb)") for l in lines), f"{name}: result line {lines}")
        result = read(os.path.join(folder, "a.jpg"))
        check((result == original) == (status != 0), f"{name}: original replaced: {result != original}")
        if status != 0:
            check("Papierkorb" in done.err and "wird nicht ersetzt" in done.err, f"{name}: reason {done.err!r}")
            check(sorted(os.listdir(folder)) == ["a.jpg", "data"], f"{name}: left behind {os.listdir(folder)}")
    store("")


def damaged_source_is_a_warning():
    folder = os.path.join(BASE, "damaged")
    os.makedirs(folder)
    photo = Image.linear_gradient("L").resize((512, 384)).convert("RGB")
    photo.save(os.path.join(folder, "a.jpg"), quality=95)
    whole = read(os.path.join(folder, "a.jpg"))
    with open(os.path.join(folder, "a.jpg"), "wb") as f:
        f.write(whole[:len(whole) // 2])
    Image.new("RGB", (80, 60), (0, 0, 200)).save(os.path.join(folder, "b.png"))
    done = run("/auto=1", f"/dir={folder}/", "/copy=1", "/width=40", "/height=30", "/adapt=2")
    lines = done.out.splitlines()
    check(done.status == 0, f"damaged: status {done.status}: {done.err}")
    check(any(l.endswith("(Quelle beschädigt)") for l in lines), f"damaged: result line {lines}")
    check(lines[-4:-2] == ["2 Dateien gesamt", "1 Dateien mit Warnungen"], f"damaged: summary {lines[-5:]}")
    done = run("--json", "--fit=width", "--width=40", folder)
    records = [json.loads(line) for line in done.out.splitlines()]
    by_name = {os.path.basename(r.get("source", "")): r for r in records[:-1]}
    check(done.status == 0, f"damaged json: status {done.status}")
    check(by_name["a.jpg"]["status"] == "converted" and by_name["a.jpg"].get("warning") == "source-damaged",
          f"damaged json: {by_name['a.jpg']}")
    check("warning" not in by_name["b.png"], f"damaged json: sound file {by_name['b.png']}")
    check(records[-1].get("warnings") == 1 and records[-1]["failed"] == 0, f"damaged json: totals {records[-1]}")


def dry_run_plans_as_the_run_goes():
    # a.png and a.bmp share their target; b's target is there already.
    names = ["a.png", "a.bmp", "b.png", "c.png"]
    # (--exists, statuses of a dry run and of the real run, line of b in the dry run)
    table = [
        ("replace", ["planned", "failed", "planned", "planned"], "b.png -> Neu_b.jpg (ersetzt die vorhandene Datei)"),
        ("skip", ["planned", "skipped", "skipped", "planned"], "b.png -> Neu_b.jpg (übersprungen, Ziel vorhanden)"),
    ]
    for exists, expected, b_line in table:
        folder = os.path.join(BASE, "clash " + exists)
        os.makedirs(folder)
        for name, fmt in (("a.png", "PNG"), ("a.bmp", "BMP"), ("b.png", "PNG"), ("c.png", "PNG")):
            Image.new("RGB", (30, 20), (10, 120, 10)).save(os.path.join(folder, name), fmt)
        Image.new("RGB", (30, 20), (1, 2, 3)).save(os.path.join(folder, "Neu_b.jpg"))
        common = ["--target=jpg", "--exists=" + exists] + names
        plan = run("--dry-run", *common, cwd=folder)
        check(b_line in plan.out.splitlines(), f"{exists}: dry run lines {plan.out}")
        planned = [json.loads(line) for line in run("--dry-run", "--json", *common, cwd=folder).out.splitlines()]
        done = run(*common, cwd=folder)
        check([r["status"] for r in planned[:-1]] == expected, f"{exists}: dry run {planned}")
        lines = done.out.splitlines()
        failed = [l for l in lines if l.endswith("konnte nicht konvertiert werden!")]
        skipped = [l for l in lines if l.endswith("übersprungen (Ziel vorhanden)")]
        check(len(failed) == expected.count("failed") and len(skipped) == expected.count("skipped"),
              f"{exists}: the run went otherwise: {lines}")
        if "failed" in expected:
            # The failed line names the source that failed; the reason names a.png and the target.
            check(failed == ["a.bmp konnte nicht konvertiert werden!"], f"{exists}: clash line {failed}")
            reason = planned[1]["reason"]
            check(reason in done.err and "a.png" in reason and "Neu_a.jpg" in reason, f"{exists}: reason {reason!r}")


runkit.run_cases(BASE, [trash_and_replace, damaged_source_is_a_warning, dry_run_plans_as_the_run_goes])
