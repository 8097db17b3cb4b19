#!/usr/bin/python3
"""Drives the built program with the long options as a shell script would:
each option, named files, NUL lists with odd names, JSON Lines read back,
dry runs, refused parameters, the help, and a list split over two processes
by GNU parallel.

    script_runs.py <corvalin>"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageFilter

import runkit
from runkit import check, headless_environment, size_of, tree

PROGRAM = os.path.abspath(sys.argv[1])


class Run(runkit.Run):
    def records(self):
        """Every line of a JSON run, each parsed on its own."""
        return [json.loads(line) for line in self.out.splitlines()]


def environment():
    return headless_environment(BASE)


def run(*arguments, cwd=None, stdin=None, display=False):
    env = environment()
    if display:
        env["DISPLAY"] = ":99"  # a display that would open the windows: the long options never do
    done = subprocess.run([PROGRAM] + list(arguments), env=env, cwd=cwd, input=stdin,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return Run(done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace"))


def fresh(name):
    folder = os.path.join(BASE, name)
    os.makedirs(folder)
    return folder


def picture(path, size=(60, 40), fmt=None, colour=(200, 40, 40), exif=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    im = Image.new("RGB", size, colour)
    im.paste((20, 180, 60), (0, 0, size[0] // 2, size[1] // 2))
    if exif is not None:
        im.save(path, fmt, exif=exif)
    else:
        im.save(path, fmt)


def photo_folder(name):
    d = fresh(name)
    picture(os.path.join(d, "a.jpg"))
    picture(os.path.join(d, "Urlaub", "b.png"), fmt="PNG", colour=(0, 90, 200))
    return d


# ------------------------------------------------------------ each option once

def noisy_jpeg(path, size=(400, 300)):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    noise = Image.effect_noise(size, 60).convert("RGB")
    Image.blend(Image.new("RGB", size, (120, 80, 40)), noise, 0.5).save(path, quality=95)


def sideways_jpeg(path):
    exif = Image.Exif()
    exif[0x0112] = 6  # stored sideways: shown turned by 90 degrees
    exif[0x010F] = "Kamera"
    picture(path, exif=exif.tobytes())


def exif_of(path):
    with Image.open(path) as im:
        return dict(im.getexif())


def preset(name, values):
    """A preset saved as the windows save it, beside the run's settings store."""
    folder = os.path.join(BASE, "config", "Corvalin", "presets")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name + ".conf"), "w") as f:
        f.write("[Corvalin]\n" + values)


def options_each_once():
    def jpeg_quality(path):
        return subprocess.run(["/usr/bin/identify", "-format", "%Q", path], stdout=subprocess.PIPE).stdout.decode()

    def mode_of(path):
        with Image.open(path) as im:
            return im.mode

    old = 978307200  # 2001-01-01
    cases = [
        # options, what to prepare, check on the folder
        (["--fit=width", "--width=30"], None, lambda d: size_of(f"{d}/Neu_a.jpg") == (30, 20)),
        (["--fit=height", "--height=10"], None, lambda d: size_of(f"{d}/Neu_a.jpg") == (15, 10)),
        (["--rotate=90"], None, lambda d: size_of(f"{d}/Neu_a.jpg") == (40, 60)),
        (["--preset=klein"], lambda d: preset("klein", "mode=1\nwidth=30\n"),
         lambda d: size_of(f"{d}/Neu_a.jpg") == (30, 20)),
        (["--width=24", "--preset=klein"], lambda d: preset("klein", "mode=1\nwidth=30\n"),
         lambda d: size_of(f"{d}/Neu_a.jpg") == (24, 16)),
        (["--fit=width", "--width=200", "--shrink-only"], None, lambda d: size_of(f"{d}/Neu_a.jpg") == (60, 40)),
        (["--fit=width", "--width=30", "--smooth", "--target=png"], None,
         lambda d: size_of(f"{d}/Neu_a.png") == (30, 20) and
         subprocess.run([PROGRAM, "--fit=width", "--width=30", "--target=png", "--prefix=N_", d], env=environment(),
                        stdout=subprocess.DEVNULL).returncode == 0 and
         Image.open(f"{d}/Neu_a.png").tobytes() != Image.open(f"{d}/N_a.png").tobytes()),
        (["--target=bmp", "--depth=1"], None, lambda d: mode_of(f"{d}/Neu_a.bmp") == "1"),
        (["--target=png"], None, lambda d: Image.open(f"{d}/Neu_a.png").format == "PNG"),
        (["--quality=20"], None, lambda d: jpeg_quality(f"{d}/Neu_a.jpg") == "20"),
        (["--"], None, lambda d: jpeg_quality(f"{d}/Neu_a.jpg") == "85" and not os.path.exists(f"{d}/Urlaub/Neu_b.png")),
        (["--in-place", "--fit=width", "--width=30"], None,
         lambda d: size_of(f"{d}/a.jpg") == (30, 20) and not os.path.exists(f"{d}/Neu_a.jpg")),
        (["--recursive"], None, lambda d: os.path.exists(f"{d}/Urlaub/Neu_b.png")),
        (["--recursive", "--types=png"], None,
         lambda d: os.path.exists(f"{d}/Urlaub/Neu_b.png") and not os.path.exists(f"{d}/Neu_a.jpg")),
        (["--text=(c) Test", "--target=png"], None,
         lambda d: Image.open(f"{d}/Neu_a.png").convert("RGB").tobytes() !=
         Image.open(f"{d}/a.jpg").convert("RGB").tobytes() and
         subprocess.run([PROGRAM, "--target=png", "--prefix=Ohne_", d], env=environment(),
                        stdout=subprocess.DEVNULL).returncode == 0 and
         Image.open(f"{d}/Neu_a.png").tobytes() != Image.open(f"{d}/Ohne_a.png").tobytes()),
        (["--threads=1", "--recursive"], None,
         lambda d: os.path.exists(f"{d}/Neu_a.jpg") and os.path.exists(f"{d}/Urlaub/Neu_b.png")),
        (["--"], lambda d: sideways_jpeg(f"{d}/a.jpg"), lambda d: size_of(f"{d}/Neu_a.jpg") == (40, 60)),
        (["--no-auto-orient"], lambda d: sideways_jpeg(f"{d}/a.jpg"),
         lambda d: size_of(f"{d}/Neu_a.jpg") == (60, 40) and exif_of(f"{d}/Neu_a.jpg").get(0x0112) == 6),
        (["--strip"], lambda d: sideways_jpeg(f"{d}/a.jpg"), lambda d: 0x010F not in exif_of(f"{d}/Neu_a.jpg")),
        (["--keep-date"], lambda d: os.utime(f"{d}/a.jpg", (old, old)),
         lambda d: int(os.path.getmtime(f"{d}/Neu_a.jpg")) == old),
        (["--out=ergebnis/neu", "--recursive"], None,
         lambda d: sorted(tree(f"{d}/ergebnis/neu")) == ["Neu_a.jpg", "Urlaub/Neu_b.png"]),
        (["--prefix=K_"], None, lambda d: os.path.exists(f"{d}/K_a.jpg")),
        (["--prefix=", "--suffix=_s"], None, lambda d: os.path.exists(f"{d}/a_s.jpg")),
        (["--exists=number"], lambda d: shutil.copy(f"{d}/a.jpg", f"{d}/Neu_a.jpg"),
         lambda d: os.path.exists(f"{d}/Neu_a_1.jpg")),
        (["--max-kb=20"], lambda d: noisy_jpeg(f"{d}/a.jpg"),
         lambda d: 0 < os.path.getsize(f"{d}/Neu_a.jpg") <= 20 * 1024 < os.path.getsize(f"{d}/a.jpg")),
    ]
    for number, (options, prepare, holds) in enumerate(cases):
        d = photo_folder(f"option-{number}")
        if prepare:
            prepare(d)
        r = run(*options, d, cwd=d, display=True)
        what = " ".join(options)
        check(r.status == 0, f"{what}: status {r.status}\n{r.err}")
        try:
            check(holds(d), f"{what}: wrong result {sorted(tree(d))}\n{r.out}")
        except (OSError, KeyError) as error:
            check(False, f"{what}: {error}\n{r.out}{r.err}")
    # The stored settings are neither read nor written (only a named preset is read).
    check(not os.path.exists(os.path.join(BASE, "config", "Corvalin", "Corvalin.conf")), "settings written")


# ------------------------------------------------------------ named files and lists

def named_files():
    d = photo_folder("named")
    picture(os.path.join(d, "c.bmp"), fmt="BMP")
    picture(os.path.join(d, "bild.dat"), fmt="PNG")  # a picture under a name that is none
    r = run("--json", "a.jpg", "bild.dat", "./a.jpg", "fehlt.jpg", cwd=d)
    records = r.records()
    check(r.status == 1, f"named: status {r.status}\n{r.err}")
    check([x.get("source") for x in records[:-1]] == ["a.jpg", "bild.dat", "fehlt.jpg"], f"named: {records}")
    check([x.get("status") for x in records[:-1]] == ["converted", "failed", "failed"], f"named: {records}")
    check("kein Bildformat" in records[1]["reason"] and "fehlt.jpg" in records[2]["reason"], f"named: {records}")
    # A picture under a name that is none is read by its content and written in the format chosen.
    r = run("--target=png", "bild.dat", cwd=d)
    check(r.status == 0 and Image.open(os.path.join(d, "Neu_bild.png")).format == "PNG", f"foreign name: {r.err}")
    check(not os.path.exists(os.path.join(d, "Neu_c.bmp")) and not os.path.exists(os.path.join(d, "Urlaub/Neu_b.png")),
          "named: converted what was not named")
    # Named relative to the current folder, a file keeps its folder below an output folder.
    r = run("--out=aus", "Urlaub/b.png", "a.jpg", cwd=d)
    check(r.status == 0 and sorted(tree(os.path.join(d, "aus"))) == ["Neu_a.jpg", "Urlaub/Neu_b.png"],
          f"named with --out: {r.status} {sorted(tree(os.path.join(d, 'aus')))}\n{r.err}")


ODD_NAMES = ["mit Blank.jpg", "Ümläut ß.png", "zei\nle.jpg", "-strich.jpg", "a\\b.bmp"]


def odd_folder(name):
    d = fresh(name)
    for n in ODD_NAMES:
        picture(os.path.join(d, "sub", n), fmt={"jpg": "JPEG", "png": "PNG", "bmp": "BMP"}[n.rsplit(".", 1)[1]])
    return d


def nul_lists():
    d = odd_folder("nul")
    listing = subprocess.run(["find", ".", "-type", "f", "-print0"], cwd=d, stdout=subprocess.PIPE).stdout
    r = run("--files-from=-", "--null", "--json", "--fit=width", "--width=20", cwd=d, stdin=listing)
    records = r.records()
    check(r.status == 0, f"NUL list: status {r.status}\n{r.err}")
    check(sorted(x["source"] for x in records[:-1]) == sorted("./sub/" + n for n in ODD_NAMES), f"NUL list: {records}")
    for n in ODD_NAMES:
        target = os.path.join(d, "sub", "Neu_" + n)
        check(os.path.exists(target) and size_of(target)[0] == 20, f"NUL list: {n!r} not converted")
    # A list file with one name per line; the same names again are converted once.
    lines = os.path.join(BASE, "liste.txt")
    with open(lines, "w", encoding="utf-8") as f:
        f.write("sub/mit Blank.jpg\nsub/Ümläut ß.png\n\nsub/mit Blank.jpg\n")
    r = run(f"--files-from={lines}", "--json", "--prefix=Z_", cwd=d)
    check(r.status == 0 and [x.get("status") for x in r.records()[:-1]] == ["converted"] * 2,
          f"line list: {r.status} {r.out}\n{r.err}")
    check(os.path.exists(os.path.join(d, "sub", "Z_Ümläut ß.png")), "line list: umlaut name not converted")
    r = run(f"--files-from={BASE}/keine-liste", cwd=d)
    check(r.status == 2 and "keine-liste" in r.err, f"missing list: {r.status}\n{r.err}")


# ------------------------------------------------------------ JSON and dry runs

def json_lines():
    d = photo_folder("json")
    picture(os.path.join(d, "kaputt.png"), fmt="PNG")
    with open(os.path.join(d, "kaputt.png"), "r+b") as f:
        f.truncate(30)
    shutil.copy(os.path.join(d, "a.jpg"), os.path.join(d, "Neu_x.jpg"))
    shutil.copy(os.path.join(d, "a.jpg"), os.path.join(d, "x.jpg"))
    r = run("--json", "--recursive", "--exists=skip", "--fit=width", "--width=30", d)
    check(r.status == 1, f"json: status {r.status}\n{r.err}")
    try:
        records = r.records()
    except ValueError as error:
        check(False, f"json: not JSON Lines: {error}\n{r.out}")
        return
    files, totals = records[:-1], records[-1]
    keys = {"source", "target", "status", "reason", "bytes_before", "bytes_after", "width", "height"}
    check(all(set(x) == keys for x in files), f"json: keys {files}")
    by_name = {os.path.basename(x["source"]): x for x in files}
    check(sorted(by_name) == ["a.jpg", "b.png", "kaputt.png", "x.jpg"], f"json: files {sorted(by_name)}")
    check(by_name["kaputt.png"]["status"] == "failed" and by_name["kaputt.png"]["reason"], "json: failure")
    check(by_name["x.jpg"]["status"] == "skipped", f"json: skip {by_name['x.jpg']}")
    for x in files:
        check(x["bytes_before"] == os.path.getsize(x["source"]), f"json: bytes before {x}")
        if x["status"] == "converted":
            check(x["bytes_after"] == os.path.getsize(x["target"]), f"json: bytes after {x}")
            check((x["width"], x["height"]) == size_of(x["target"]), f"json: size {x}")
    check(set(totals) == {"files", "converted", "skipped", "failed", "bytes_before", "bytes_after"}, f"json: {totals}")
    check((totals["files"], totals["converted"], totals["skipped"], totals["failed"]) == (4, 2, 1, 1), f"json: {totals}")
    check(totals["bytes_before"] == sum(x["bytes_before"] for x in files), "json: summed bytes before")
    check(totals["bytes_after"] == sum(x["bytes_after"] for x in files), "json: summed bytes after")
    check("konnte nicht" not in r.out and "Suche" not in r.out, "json: the German list leaked into the stream")


def dry_runs():
    d = photo_folder("dry")
    shutil.copy(os.path.join(d, "a.jpg"), os.path.join(d, "Neu_a.jpg"))
    before = tree(d)
    r = run("--dry-run", "--recursive", "--target=png", "--out=aus", "--exists=number", d, cwd=d)
    check(r.status == 0 and tree(d) == before, f"dry run wrote: {r.status} {sorted(tree(d))}\n{r.err}")
    check(f"{d}/a.jpg -> aus/Neu_a.png" in r.out and f"{d}/Urlaub/b.png -> aus/Urlaub/Neu_b.png" in r.out,
          "dry run lines\n" + r.out)
    planned = run("--dry-run", "--json", "--recursive", "--exists=number", d).records()
    check(tree(d) == before, "json dry run wrote")
    done = run("--json", "--recursive", "--exists=number", d).records()
    check([(x["source"], x["target"]) for x in planned[:-1]] == [(x["source"], x["target"]) for x in done[:-1]],
          f"dry run names other targets than the run\n{planned}\n{done}")
    check(planned[-1].get("planned") == 2 and planned[-1]["converted"] == 0, f"dry run totals {planned[-1]}")


# ------------------------------------------------------------ refusals and help

def refusals():
    d = photo_folder("refused")
    before = tree(d)
    for options in (["--width=abc"], ["--bogus"], ["--fit=auto"], ["--in-place=1"], ["--quality"], ["--types=txt"]):
        r = run(*options, "--recursive", d)
        check(r.status == 2 and f'Ungültiger Kommandozeilenparameter "{options[0]}' in r.err,
              f"{options}: {r.status}\n{r.err}")
    for switch in ("/width=abc", "/widht=800", "/kopie=1", "/quality=hoch"):
        r = run("/auto=1", f"/dir={d}", "/recursiv=1", switch)
        check(r.status == 2 and f'Ungültiger Kommandozeilenparameter "{switch}"' in r.err, f"{switch}: {r.status}\n{r.err}")
    r = run("--preset=fehlt", d)
    check(r.status == 2 and 'Die Voreinstellung "fehlt"' in r.err, f"missing preset: {r.status}\n{r.err}")
    r = run("/autoorient=0", f"/dir={d}")  # never read as /auto
    check(r.status == 2 and "Ungültiger" not in r.err, f"/autoorient: {r.status}\n{r.err}")
    check(tree(d) == before, "refused parameters converted something")
    # An empty text still means something.
    r = run("/auto=1", f"/dir={d}", "/text=", "/prefix=", "/suffix=_t", "/recursiv=0")
    check(r.status == 0 and os.path.exists(os.path.join(d, "a_t.jpg")), f"empty values: {r.status}\n{r.err}")


def help_texts():
    r = run("--help")
    check(r.status == 0 and r.out.startswith("Aufruf: corvalin [OPTION]..."), f"--help: {r.status}\n{r.out}")
    options = [line.split()[0] for line in r.out.splitlines() if line.startswith("  --")]
    check(len(options) == 31 and len(set(options)) == 31, f"--help options: {options}")
    slash = run("/?")
    for text, name in ((r.out, "--help"), (slash.out, "/?")):
        for windows in ("C:", "c:\\", ".exe", "Corvalin.exe", "\\"):
            check(windows not in text, f"{name} shows {windows!r}")
    check("/threads=" in slash.out and "corvalin /auto=1" in slash.out, "/? lacks /threads or the Linux example")


# ------------------------------------------------------------ two shards

def sharded_by_parallel():
    """One run over a list and the same list split over two processes by GNU
    parallel write the same bytes."""
    parallel = shutil.which("parallel")
    check(parallel is not None, "GNU parallel is missing (scripts/install-deps.sh installs it)")
    if parallel is None:
        return
    source = fresh("shards-source")
    for number in range(10):
        picture(os.path.join(source, f"Ordner {number % 3}", f"bild {number}.jpg"), size=(50 + number, 40),
                colour=(number * 20, 100, 200 - number * 10))
    odd = odd_folder("shards-odd")
    shutil.copytree(os.path.join(odd, "sub"), os.path.join(source, "seltsam"))
    one, two = os.path.join(BASE, "shards-one"), os.path.join(BASE, "shards-two")
    shutil.copytree(source, one)
    shutil.copytree(source, two)
    options = ["--fit=width", "--width=24", "--target=png", "--strip", "--out=aus", "--json"]

    listing = subprocess.run(["find", ".", "-type", "f", "-print0"], cwd=one, stdout=subprocess.PIPE).stdout
    single = run("--files-from=-", "--null", *options, cwd=one, stdin=listing)
    check(single.status == 0, f"single run: {single.status}\n{single.err}")
    count = len(listing.split(b"\0")) - 1
    # The list is made before the first result is written: a result is no source.
    sharded = subprocess.run(
        [parallel, "--will-cite", "-0", "--pipe", "--recend", "\\0", "-N", str((count + 1) // 2), "-j", "2",
         PROGRAM, "--files-from=-", "--null"] + options,
        cwd=two, input=listing, env=environment(), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    check(sharded.returncode == 0, f"sharded run: {sharded.returncode}\n{sharded.stderr.decode()}")
    out_one, out_two = tree(os.path.join(one, "aus")), tree(os.path.join(two, "aus"))
    check(len(out_one) == count and out_one == out_two, f"shards differ:\n{sorted(out_one)}\n{sorted(out_two)}")
    # The JSON outputs of the shards concatenate into one valid stream.
    records = [json.loads(line) for line in sharded.stdout.decode().splitlines()]
    summaries = [x for x in records if "files" in x]
    check(len(summaries) == 2 and sum(x["converted"] for x in summaries) == count, f"shard totals: {summaries}")


BASE = tempfile.mkdtemp(prefix="corvalin-script-runs-")
runkit.run_cases(BASE, (options_each_once, named_files, nul_lists, json_lines, dry_runs, refusals, help_texts,
                        sharded_by_parallel))
