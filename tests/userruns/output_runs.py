#!/usr/bin/python3
"""Runs the built program headless with results sent elsewhere, named,
numbered and held under a size, and checks that no original changes.

    output_runs.py <corvalin>"""

import os
import re
import subprocess
import sys
import tempfile

from PIL import Image, ImageFilter

import runkit
from runkit import check, headless_environment, size_of, tree

PROGRAM = os.path.abspath(sys.argv[1])


class Run(runkit.Run):
    def file_lines(self):
        return [line for line in self.out.splitlines() if ": " in line and not line.startswith("Suche")]


def run(folder, *switches):
    done = subprocess.run([PROGRAM, "/auto=1", f"/dir={folder}"] + list(switches), env=headless_environment(BASE),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return Run(done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace"))


def fresh(name):
    folder = os.path.join(BASE, name)
    os.makedirs(folder)
    return folder


def picture(path, size=(60, 40), fmt=None, colour=(200, 40, 40)):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    Image.new("RGB", size, colour).save(path, fmt)


def photo_folder(name):
    d = fresh(name)
    picture(os.path.join(d, "a.jpg"))
    picture(os.path.join(d, "Urlaub", "b.png"), fmt="PNG", colour=(0, 90, 200))
    picture(os.path.join(d, "Urlaub", "2024", "c.bmp"), fmt="BMP", colour=(0, 200, 0))
    return d


# ------------------------------------------------------------ output folder

def output_folder_tree():
    d = photo_folder("tree")
    before = tree(d)
    out = os.path.join(BASE, "tree-out", "neu")  # two levels that do not exist yet
    r = run(d, f"/out={out}", "/adapt=3", "/height=20")
    check(r.status == 0, f"tree: status {r.status}\n{r.err}")
    check(tree(d) == before, "tree: sources changed")
    check(sorted(tree(out)) == ["Neu_a.jpg", "Urlaub/2024/Neu_c.bmp", "Urlaub/Neu_b.png"], f"tree: {sorted(tree(out))}")
    check(size_of(os.path.join(out, "Urlaub/2024/Neu_c.bmp")) == (30, 20), "tree: not converted")
    check("/neu/Urlaub/Neu_b.png: " in r.out, "tree: lines name the targets\n" + r.out)
    # Without copies: the names stay, and the sources stay too.
    out2 = os.path.join(BASE, "tree-out2")
    r = run(d, f"/out={out2}", "/copy=0", "/format=5")
    check(r.status == 0 and tree(d) == before, f"tree in place: {r.status}\n{r.err}")
    check(sorted(tree(out2)) == ["Urlaub/2024/c.jpg", "Urlaub/b.jpg", "a.jpg"], f"tree in place: {sorted(tree(out2))}")


def output_folder_inside_searched_tree():
    d = photo_folder("inside")
    out = os.path.join(d, "Ergebnisse")
    for attempt in (1, 2):
        r = run(d, f"/out={out}", "/exists=number")
        check(r.status == 0 and len(r.file_lines()) == 3, f"inside, run {attempt}: {r.status}\n{r.out}{r.err}")
    check(sorted(tree(out)) == ["Neu_a.jpg", "Neu_a_1.jpg", "Urlaub/2024/Neu_c.bmp", "Urlaub/2024/Neu_c_1.bmp",
                                "Urlaub/Neu_b.png", "Urlaub/Neu_b_1.png"], f"inside: {sorted(tree(out))}")


def unusable_output_folder():
    d = photo_folder("unusable")
    before = tree(d)
    blocker = os.path.join(BASE, "blocker")
    open(blocker, "w").close()
    r = run(d, f"/out={blocker}/sub")
    check(r.status == 1 and "Not a directory" in r.err and f'"{blocker}/sub/"' in r.err,
          f"unusable: {r.status}\n{r.err}")
    check("==>" not in r.out and tree(d) == before, "unusable: converted something\n" + r.out)
    if os.geteuid() != 0:
        ro = fresh("read-only")
        os.chmod(ro, 0o555)
        r = run(d, f"/out={ro}")
        check(r.status == 1 and "Permission denied" in r.err, f"read-only: {r.status}\n{r.err}")
    else:
        print("skipped: read-only output folder (root writes anywhere)")


# ------------------------------------------------------------ names

def prefix_and_suffix():
    d = photo_folder("names")
    r = run(d, "/prefix=klein-", "/suffix=_web", "/recursiv=0")
    check(r.status == 0 and sorted(os.listdir(d)) == ["Urlaub", "a.jpg", "klein-a_web.jpg"], f"names: {os.listdir(d)}")
    # The next run leaves the copy out: no klein-klein-a_web_web.jpg.
    r = run(d, "/prefix=klein-", "/suffix=_web", "/recursiv=0")
    check(sorted(os.listdir(d)) == ["Urlaub", "a.jpg", "klein-a_web.jpg"] and len(r.file_lines()) == 1,
          f"names again: {os.listdir(d)}\n{r.out}")


def copy_onto_its_source():
    d = photo_folder("onto")
    before = tree(d)
    for switches in (("/prefix=",), ("/prefix=", "/format=5"), (f"/out={d}", "/copy=0")):
        r = run(d, *switches)
        check(r.status == 2 and "würde die Datei selbst ersetzen" in r.err, f"onto {switches}: {r.status}\n{r.err}")
        check(tree(d) == before and "==>" not in r.out, f"onto {switches}: something written")
    # Another format under the plain name is no copy onto its source.
    r = run(d, "/prefix=", "/format=2", "/recursiv=0")
    check(r.status == 0 and os.path.exists(os.path.join(d, "a.bmp")), f"onto, to BMP: {r.status}\n{r.err}")


# ------------------------------------------------------------ existing targets

def existing_targets():
    d = fresh("exists")
    picture(os.path.join(d, "a.png"), fmt="PNG", colour=(10, 10, 10))
    out = os.path.join(BASE, "exists-out")
    picture(os.path.join(out, "Neu_a.png"), (5, 5), "PNG", (255, 255, 255))
    with open(os.path.join(out, "Neu_a.png"), "rb") as f:
        old = f.read()
    r = run(d, f"/out={out}", "/exists=skip")
    check(r.status == 0 and "/Neu_a.png: übersprungen (Ziel vorhanden)" in r.out and "1 Dateien gesamt" in r.out,
          f"skip: {r.status}\n{r.out}{r.err}")
    with open(os.path.join(out, "Neu_a.png"), "rb") as f:
        check(f.read() == old, "skip: existing file changed")
    for attempt in (1, 2):
        r = run(d, f"/out={out}", "/exists=number")
        check(r.status == 0 and f"/Neu_a_{attempt}.png: " in r.out, f"number {attempt}: {r.out}{r.err}")
    check(sorted(os.listdir(out)) == ["Neu_a.png", "Neu_a_1.png", "Neu_a_2.png"], f"number: {os.listdir(out)}")
    r = run(d, f"/out={out}", "/exists=replace")
    check(r.status == 0 and size_of(os.path.join(out, "Neu_a.png")) != (5, 5), f"replace: {r.out}{r.err}")
    check(sorted(os.listdir(out)) == ["Neu_a.png", "Neu_a_1.png", "Neu_a_2.png"], f"replace: {os.listdir(out)}")


# ------------------------------------------------------------ size limit

def size_limit():
    d = fresh("limit")
    # A 12-megapixel photograph: smooth shapes with fine grain, as a camera gives.
    small = Image.effect_noise((160, 120), 80).convert("RGB")
    small = Image.merge("RGB", [small.getchannel(0), small.getchannel(0).rotate(90, expand=False),
                                small.getchannel(0).transpose(Image.FLIP_LEFT_RIGHT)])
    photo = small.resize((4000, 3000), Image.BICUBIC).filter(ImageFilter.GaussianBlur(2))
    grain = Image.effect_noise((4000, 3000), 12).convert("RGB")
    Image.blend(photo, grain, 0.15).save(os.path.join(d, "P001.jpg"), quality=92)
    source = tree(d)
    r = run(d, "/maxkb=60", "/adapt=5", "/width=1600", "/height=1600")
    target = os.path.join(d, "Neu_P001.jpg")
    check(r.status == 0, f"limit: {r.status}\n{r.err}")
    size = os.path.getsize(target) if os.path.exists(target) else 0
    check(45 * 1024 < size <= 60 * 1024, f"limit: {size} bytes")
    print(f"size limit: {size} bytes", r.out.split("Neu_P001.jpg: ")[-1].splitlines()[0])
    found = re.search(r"Neu_P001\.jpg: .* \(Qualität (\d+)\)$", r.out, re.M)
    check(found is not None, "limit: the line names the quality\n" + r.out)
    if found:
        used = subprocess.run(["/usr/bin/identify", "-format", "%Q", target], stdout=subprocess.PIPE).stdout.decode()
        check(used == found.group(1), f"limit: line says {found.group(1)}, file has {used}")
    check(size_of(target) == (1600, 1200), "limit: size")

    os.remove(target)
    r = run(d, "/maxkb=1")
    check(r.status == 1 and re.search(r"Zielgröße 1 KB nicht erreichbar, kleinste Datei \d+ KB", r.err),
          f"unreachable: {r.status}\n{r.err}")
    check(tree(d) == source, "unreachable: something written")
    # Targets without a quality ignore the limit.
    r = run(d, "/maxkb=1", "/format=2", "/adapt=3", "/height=30")
    check(r.status == 0 and os.path.getsize(os.path.join(d, "Neu_P001.bmp")) > 1024, f"BMP: {r.status}\n{r.err}")
    # The camera and web formats are held under a limit too.
    r = run(d, "/maxkb=40", "/target=webp", "/adapt=5", "/width=800", "/height=800")
    webp = os.path.join(d, "Neu_P001.webp")
    size = os.path.getsize(webp) if os.path.exists(webp) else 0
    check(r.status == 0 and 0 < size <= 40 * 1024, f"WebP: {r.status} {size} bytes\n{r.err}")
    check(re.search(r"Neu_P001\.webp: .* \(Qualität \d+\)$", r.out, re.M) is not None, "WebP: quality\n" + r.out)


def bad_values():
    d = photo_folder("bad")
    before = tree(d)
    for switch in ("/prefix=a/b", "/suffix=\x01", "/exists=", "/exists=keep", "/maxkb=",
                   "/maxkb=-3", "/maxkb=1k"):
        r = run(d, switch)
        shown = switch.replace("\x01", "\\001")  # control characters are shown escaped
        check(r.status == 2 and f'Ungültiger Kommandozeilenparameter "{shown}"' in r.err, f"{switch}: {r.status}\n{r.err}")
        check(tree(d) == before, f"{switch}: converted")
    r = run(d, "/out", "/recursiv=0")  # no value: no output folder
    check(r.status == 0 and os.path.exists(os.path.join(d, "Neu_a.jpg")), f"/out: {r.status}\n{r.err}")


BASE = tempfile.mkdtemp(prefix="corvalin-output-runs-")
runkit.run_cases(BASE, (output_folder_tree, output_folder_inside_searched_tree, unusable_output_folder,
                        prefix_and_suffix, copy_onto_its_source, existing_targets, size_limit, bad_values))
