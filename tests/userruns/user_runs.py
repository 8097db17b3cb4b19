#!/usr/bin/python3
"""Runs the built program headless the way a careful user would try to lose
pictures with it, and checks that every original is either untouched or
completely converted.

    user_runs.py <corvalin> <fault shim .so>

Cases that need a second user run as uid/gid 65534 through setpriv when the
script runs as root; without root they are skipped (and said so)."""

import os
import shutil
import stat
import subprocess
import sys
import tempfile

from PIL import Image

import runkit
from runkit import check, headless_environment, size_of

PROGRAM, SHIM = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
IS_ROOT = os.geteuid() == 0
NOBODY = 65534


class Run(runkit.Run):
    def failed_lines(self):
        return [line for line in self.out.splitlines() if line.endswith("konnte nicht konvertiert werden!")]


def run(folder, *switches, env=None, user=False, cwd=None, shell_prefix=None, stdout=subprocess.PIPE):
    """One headless automatic run on folder (None: no /dir switch)."""
    environment = headless_environment(BASE)
    environment.update(env or {})
    args = [PROGRAM, "/auto=1"] + ([f"/dir={folder}"] if folder is not None else []) + list(switches)
    if user and IS_ROOT:
        args = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"] + args
    if shell_prefix:
        args = ["sh", "-c", shell_prefix + ' && exec "$@"', "sh"] + args
    done = subprocess.run(args, env=environment, cwd=cwd, stdout=stdout, stderr=subprocess.PIPE, timeout=60)
    out = done.stdout.decode("utf-8", "replace") if done.stdout is not None else ""
    return Run(done.returncode, out, done.stderr.decode("utf-8", "replace"))


def fresh(name, owner=None):
    folder = os.path.join(BASE, name)
    os.makedirs(folder)
    if owner is not None and IS_ROOT:
        os.chown(folder, owner, owner)
    return folder


def picture(path, size, fmt=None, colour=(200, 40, 40)):
    Image.new("RGB", size, colour).save(path, fmt)
    return read(path)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def listing(folder):
    return sorted(os.listdir(folder))


def temporaries(folder):
    return [n for n in os.listdir(folder) if n.startswith(".~corvalin.")]


def store(text):
    os.makedirs(os.path.join(BASE, "config", "Corvalin"), exist_ok=True)
    with open(os.path.join(BASE, "config", "Corvalin", "Corvalin.conf"), "w") as f:
        f.write("[Corvalin]\n" + text)


# ------------------------------------------------------------ lost originals

def empty_results():
    d = fresh("empty")
    originals = {n: picture(os.path.join(d, n), (2, 1000), fmt) for n, fmt in
                 [("tall.png", "PNG"), ("tall.jpg", "JPEG"), ("tall.bmp", "BMP"), ("tall.gif", "GIF")]}
    for n in ("zero.bmp", "zero.ico"):
        open(os.path.join(d, n), "wb").close()
        originals[n] = b""
    r = run(d, "/copy=0", "/adapt=3", "/height=300")  # "Höhe": width 2 * 0.3 cuts to 0
    check(r.status == 1, f"empty results: status {r.status}")
    check(len(r.failed_lines()) == 6, "empty results: six failure lines\n" + r.out)
    for n, data in originals.items():
        check(read(os.path.join(d, n)) == data, f"empty results: {n} changed")
    check("0 x 300 Pixel" in r.err and "kein Bild" in r.err, "empty results: reasons\n" + r.err)


def empty_folder_text():
    for switch in ("/dir=", "/dir"):
        r = run(None, switch, "/copy=0")
        check(r.status == 1, f"{switch}: status {r.status}")
        searched = (r.out + r.err).count("Suche *.")
        check(searched >= 10 and r.err.count('Das Verzeichnis "" existiert nicht!') == 1,
              f"{switch}: message\n{r.err}")
        check("Dateien gesamt" in r.out and r.out.count("==>") == 0, f"{switch}: converted something")
    gone = fresh("gone")
    r = run(None, "/copy=0", cwd=gone, shell_prefix=f"rmdir {gone}")
    check(r.status == 1 and 'Das Verzeichnis "" existiert nicht!' in r.err,
          f"deleted current folder: {r.status}\n{r.err}")


def own_sources_and_results():
    d = fresh("clash")
    bmp = picture(os.path.join(d, "photo.bmp"), (200, 100), "BMP", (0, 0, 255))
    picture(os.path.join(d, "photo.jpg"), (120, 240), "JPEG", (0, 255, 0))
    r = run(d, "/copy=0", "/format=5", "/adapt=1")  # JPEG, sizes unchanged
    check(read(os.path.join(d, "photo.bmp")) == bmp, "clash: photo.bmp changed")
    check(size_of(os.path.join(d, "photo.jpg")) == (120, 240), "clash: photo.jpg lost its own picture")
    # The failure line names the source that failed; its reason the file that was to be written.
    check(len(r.failed_lines()) == 1 and "photo.bmp konnte" in r.failed_lines()[0]
          and "photo.jpg\" kann nicht erstellt werden" in r.err
          and "zum Umwandeln markiert" in r.err, "clash: failure for photo.bmp\n" + r.out + r.err)

    d = fresh("plasma")
    for ext, fmt in (("bmp", "BMP"), ("gif", "GIF"), ("jpg", "JPEG")):
        picture(os.path.join(d, f"plasma.{ext}"), (30, 20), fmt)
    store("convert=8\ncopy=1\nmode=0\n")
    r = run(d)
    os.remove(os.path.join(BASE, "config", "Corvalin", "Corvalin.conf"))
    check(listing(d) == ["Neu_plasma.png", "plasma.bmp", "plasma.gif", "plasma.jpg"], f"plasma: {listing(d)}")
    check(r.out.count("Neu_plasma.png: ") == 1 and len(r.failed_lines()) == 2,
          "plasma: one success, two clashes\n" + r.out)
    check(r.err.count("wurde in diesem Lauf schon aus plasma.bmp erstellt;") == 2
          and "plasma.gif wird nicht konvertiert." in r.err and "plasma.jpg wird nicht konvertiert." in r.err,
          "plasma: clash reasons name both sources\n" + r.err)


def refused_switches():
    d = fresh("switches")
    data = picture(os.path.join(d, "a.png"), (40, 30), "PNG")
    for switch in ("/copy=true", "/copy=yes", "/copyright=1"):
        r = run(d, switch)
        check(r.status == 2, f"{switch}: status {r.status}")
        check(f'Ungültiger Kommandozeilenparameter "{switch}"' in r.err, f"{switch}: message\n{r.err}")
        check(listing(d) == ["a.png"] and read(os.path.join(d, "a.png")) == data, f"{switch}: converted")


def protection_and_links():
    d = fresh("protected", NOBODY)
    real = fresh("protected-real", NOBODY)
    ro = picture(os.path.join(d, "ro.png"), (40, 30), "PNG")
    os.chmod(os.path.join(d, "ro.png"), 0o444)
    hard = picture(os.path.join(d, "hard.bmp"), (40, 30), "BMP")
    os.link(os.path.join(d, "hard.bmp"), os.path.join(real, "other-name.bmp"))
    picture(os.path.join(real, "target.gif"), (40, 30), "GIF")
    os.symlink(os.path.join(real, "target.gif"), os.path.join(d, "link.gif"))
    kept = picture(os.path.join(d, "kept.png"), (40, 30), "PNG")
    os.chmod(os.path.join(d, "kept.png"), 0o640)
    foreign = picture(os.path.join(d, "foreign.png"), (40, 30), "PNG")
    if IS_ROOT:
        for path in (d, real):
            for n in os.listdir(path):
                os.lchown(os.path.join(path, n), NOBODY, NOBODY)
        os.chown(os.path.join(d, "foreign.png"), 0, 0)  # another user's file, mode 0644
    r = run(d, "/copy=0", "/adapt=3", "/height=15", user=True)
    check(read(os.path.join(d, "ro.png")) == ro, "read-only file replaced")
    check("ro.png\" kann nicht erstellt werden" in r.err, "read-only: reason\n" + r.err)
    check(read(os.path.join(d, "hard.bmp")) == hard and os.stat(os.path.join(d, "hard.bmp")).st_nlink == 2,
          "hard link split")
    check(os.path.islink(os.path.join(d, "link.gif")), "link replaced by a file")
    check(size_of(os.path.join(real, "target.gif")) == (20, 15), "linked picture not converted")
    info = os.stat(os.path.join(d, "kept.png"))
    check(size_of(os.path.join(d, "kept.png")) == (20, 15) and stat.S_IMODE(info.st_mode) == 0o640,
          "mode not kept")
    if IS_ROOT:
        check(read(os.path.join(d, "foreign.png")) == foreign and os.stat(os.path.join(d, "foreign.png")).st_uid == 0,
              "another user's file replaced")
        check(info.st_uid == NOBODY, "owner not kept")
    else:
        print("skipped: another user's file (needs root)")
    check(temporaries(d) == [] and temporaries(real) == [], "temporary files left")


def upper_case_extension():
    d = fresh("upper")
    picture(os.path.join(d, "IMG.JPG"), (80, 60), "JPEG")
    r = run(d, "/copy=0", "/adapt=3", "/height=30")
    check(listing(d) == ["IMG.JPG"] and size_of(os.path.join(d, "IMG.JPG")) == (40, 30),
          f"upper case: {listing(d)}\n{r.out}")


def animations():
    d = fresh("anim")
    frames = [Image.new("P", (30, 20), i) for i in range(3)]
    frames[0].save(os.path.join(d, "anim.gif"), save_all=True, append_images=frames[1:])
    data = read(os.path.join(d, "anim.gif"))
    r = run(d, "/copy=0")
    check(read(os.path.join(d, "anim.gif")) == data and "3 Bilder" in r.err, "animation replaced\n" + r.err)
    r = run(d, "/copy=1")
    check(r.status == 0 and os.path.exists(os.path.join(d, "Neu_anim.gif")), "animation copy\n" + r.err)


# ------------------------------------------------------------ bounded work

def bounded_inputs():
    d = fresh("bounded")
    with open(os.path.join(d, "sparse.jpg"), "wb") as f:
        f.truncate(3 << 30)
    os.symlink("/dev/zero", os.path.join(d, "zero.png"))
    os.mkfifo(os.path.join(d, "pipe.bmp"))
    r = run(d, "/copy=0")
    check(r.status == 1, f"bounded: status {r.status}")
    check("größer als 2147483647 Bytes" in r.err, "sparse file: reason\n" + r.err)
    check("pipe.bmp" not in r.out, "a pipe was converted")

    store_path = os.path.join(BASE, "config", "Corvalin", "Corvalin.conf")
    os.makedirs(os.path.dirname(store_path), exist_ok=True)
    os.symlink("/dev/zero", store_path)
    r = run(None, "/dir=" + d + "/none")
    check(r.status == 1, f"settings link to /dev/zero: status {r.status}")
    os.remove(store_path)
    store("".join(f"k{i}=1\n" for i in range(70000)))  # under the size cap
    r = run(None, "/dir=" + d + "/none")
    check(r.status == 1, f"70000 keys: status {r.status}")
    os.remove(store_path)

    # A BMP that declares 26750 x 26750 at 24 bits in 118 bytes.
    header = b"BM" + (118).to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little")
    info = (40).to_bytes(4, "little") + (26750).to_bytes(4, "little") * 2 + (1).to_bytes(2, "little") \
        + (24).to_bytes(2, "little") + bytes(24)
    d = fresh("declared")
    with open(os.path.join(d, "huge.bmp"), "wb") as f:
        f.write(header + info + bytes(118 - 54))
    # 2 KB of RLE8 (palette included) declaring 20000 x 20000: ends its bitmap at once.
    rle = (40).to_bytes(4, "little") + (20000).to_bytes(4, "little") * 2 + (1).to_bytes(2, "little") \
        + (8).to_bytes(2, "little") + (1).to_bytes(4, "little") + bytes(20)
    with open(os.path.join(d, "rle.bmp"), "wb") as f:
        f.write(b"BM" + (2048).to_bytes(4, "little") + bytes(4) + (1078).to_bytes(4, "little") + rle
                + bytes(2048 - 54 - 2) + b"\x00\x01")
    r = run(d, "/copy=1")
    check(r.status == 1 and listing(d) == ["huge.bmp", "rle.bmp"]
          and r.err.count("Bitmap ist ungültig") == 2, f"declared size: {listing(d)}\n{r.err}")


def closed_output_and_reasons():
    d = fresh("pipe-out")
    for n in "abc":
        picture(os.path.join(d, f"{n}.png"), (40, 30), "PNG")
    reader, writer = os.pipe()
    os.close(reader)
    r = run(d, "/copy=1", stdout=writer)
    os.close(writer)
    check(r.status == 0 and len([n for n in listing(d) if n.startswith("Neu_")]) == 3,
          f"closed output: status {r.status}, {listing(d)}")

    d = fresh("reasons")
    picture(os.path.join(d, "x" * 248 + ".png"), (40, 30), "PNG")
    with open(os.path.join(d, "broken.jpg"), "wb") as f:
        f.write(b"\xff\xd8\xff\xe0 not really")
    r = run(d, "/copy=1")
    check("File name too long" in r.err, "name too long: reason\n" + r.err)
    check("JPEG-Fehler" in r.err and "(" in r.err.split("JPEG-Fehler")[1].splitlines()[0],
          "JPEG: library text\n" + r.err)


def disguised_and_aliases():
    d = fresh("alias")
    picture(os.path.join(d, "a.jpeg"), (40, 30), "JPEG")
    picture(os.path.join(d, "b.jpe"), (40, 30), "JPEG")
    picture(os.path.join(d, "png-inside.jpg"), (40, 30), "PNG")
    picture(os.path.join(d, "old.pcx"), (40, 30), "BMP")
    r = run(d, "/copy=0", "/adapt=3", "/height=15")
    for n in ("a.jpeg", "b.jpe", "png-inside.jpg"):
        with Image.open(os.path.join(d, n)) as im:
            check(im.format == "JPEG" and im.size == (20, 15), f"{n}: {im.format} {im.size}")
    # BMP data that earlier versions wrote under .pcx loads, and is written back as PCX.
    check(read(os.path.join(d, "old.pcx"))[:2] == b"\x0a\x05" and size_of(os.path.join(d, "old.pcx")) == (20, 15),
          "BMP data in .pcx")
    check(r.status == 0 and listing(d) == ["a.jpeg", "b.jpe", "old.pcx", "png-inside.jpg"],
          f"aliases: {r.status} {listing(d)}\n{r.err}")


# ------------------------------------------------------------ failures while saving

def fault_runs():
    """A failure, a kill and a SIGTERM at every write, flush, close and rename
    of an in-place run: no picture lost, nothing left behind but a temporary
    file of the instant between link and rename, which the next run removes."""
    template = fresh("fault-template")
    originals = {"a.bmp": picture(os.path.join(template, "a.bmp"), (60, 40), "BMP"),
                 "b.png": picture(os.path.join(template, "b.png"), (60, 40), "PNG")}
    count_file = os.path.join(BASE, "count")
    shim = {"LD_PRELOAD": SHIM, "CORVALIN_FAULT_COUNT": count_file}
    clean = os.path.join(BASE, "fault-clean")
    shutil.copytree(template, clean)
    # One worker: the calls are counted in one fixed order, and a kill finds
    # at most one file in the instant between link and rename.
    run(clean, "/copy=0", "/adapt=3", "/height=20", "/threads=1", env=shim)
    calls = int(open(count_file).read())
    check(calls > 8 and all(size_of(os.path.join(clean, n)) == (30, 20) for n in originals),
          f"fault runs: clean run ({calls} calls)")
    runs = 0
    reasons = ""
    for mode, extra in (("fail", {}), ("kill", {}), ("term", {"CORVALIN_FAULT_NO_TMPFILE": "1"})):
        for at in range(1, calls + 1):
            d = os.path.join(BASE, f"fault-{mode}-{at}")
            shutil.copytree(template, d)
            r = run(d, "/copy=0", "/adapt=3", "/height=20", "/threads=1",
                    env=dict(shim, CORVALIN_FAULT_AT=str(at), CORVALIN_FAULT_MODE=mode, **extra))
            runs += 1
            reasons += r.err
            what = f"fault {mode} at call {at}"
            for n, data in originals.items():
                now = read(os.path.join(d, n))
                check(now == data or size_of(os.path.join(d, n)) == (30, 20), f"{what}: {n} damaged")
                if mode == "fail" and any(n in line for line in r.failed_lines()):
                    check(now == data, f"{what}: {n} reported failed but changed")
            left = temporaries(d)
            check(set(listing(d)) - set(left) == set(originals), f"{what}: {listing(d)}")
            if mode == "kill":
                check(len(left) <= 1, f"{what}: temporaries {left}")
                run(d, "/copy=1")  # the next run that writes here sweeps them
                check(temporaries(d) == [], f"{what}: leftover not removed")
            else:
                check(left == [], f"{what}: temporaries {left}")
    check("Stream-Schreibfehler (No space left on device)" in reasons, "a full disk names its cause")
    print(f"fault runs: {calls} calls per run, {runs} runs")


BASE = tempfile.mkdtemp(prefix="corvalin-user-runs-")
os.chmod(BASE, 0o755)
runkit.run_cases(BASE, (empty_results, empty_folder_text, own_sources_and_results, refused_switches,
                        protection_and_links, upper_case_extension, animations, bounded_inputs,
                        closed_output_and_reasons, disguised_and_aliases, fault_runs))
