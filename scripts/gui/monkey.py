"""A monkey at the keyboard and mouse: random clicks, double clicks, drags and key presses
(letters, capitals, digits, Shift, Ctrl, arrows, Tab, Escape, Return, F-keys) on whatever
window of the program is open, with the simulated instrument's cable pulled and plugged back
now and then. It logs in again when the password dialog shows (the program is restarted by
scripts/gui/monkey-program when it ends). Every few seconds it measures how long the program
takes to answer on the accessibility bus: more than 2 s is a hang. At the end it opens every
file the program wrote with the reader its format needs.

Not part of CI; run it under the sanitizer build:

    make build SANITIZE=1
    REAL_TQ5800=build-asan/bin/tq5800 TQ5800_BIN=scripts/gui/monkey-program \\
        TQ5800_ARGS="-DEBUG -SEIZO" ../shared/tools/gui-session /tmp/monkey \\
        scripts/gui/monkey.py SEED SECONDS

It prints a report (seed, events sent, windows visited, slowest answer) and exits non-zero on
a crash, a hang, a sanitizer report or a file that cannot be read.
"""
import csv
import glob
import os
import random
import subprocess
import sys
import time

import gui

SEED = int(sys.argv[1]) if len(sys.argv) > 1 else 1
SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 1800
HANG_S = 2.0
SCALE = float(os.environ.get("QT_SCALE_FACTOR", "1"))
rng = random.Random(SEED)

KEYS = (["Shift_L", "Control_L", "Caps_Lock", "Up", "Down", "Left", "Right", "Home", "End",
         "Tab", "shift+Tab", "ctrl+Tab", "Escape", "Return", "KP_Enter", "BackSpace", "Delete",
         "space", "F1", "F2", "F3", "F5", "F7", "F10", "alt+i", "alt+u", "alt+c", "alt+e",
         "alt+g", "alt+t", "alt+z", "alt+s", "alt+b", "alt+x", "ctrl+a", "Page_Down"]
        + list("abcxyzAXZ0123456789_-<>/.,;*"))


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def answer_time(root):
    """Seconds the program takes to answer a question on the bus (None when it is gone)."""
    start = time.time()
    try:
        _ = [w.name for w in gui.top_windows(root)]
    except Exception:
        return None
    return time.time() - start


def extents(acc):
    e = acc.queryComponent().getExtents(gui.pyatspi.DESKTOP_COORDS)
    return (int(e.x * SCALE), int(e.y * SCALE), max(1, int(e.width * SCALE)),
            max(1, int(e.height * SCALE)))


def find_app(timeout=60):
    try:
        return gui.app(timeout=timeout)
    except RuntimeError:
        return None


def login_if_asked(root):
    for w in gui.top_windows(root):
        for a in gui.walk(w):
            try:
                if a.getRoleName() == "password text" and gui.showing(a):
                    x, y, wd, ht = extents(a)
                    xdo("mousemove", x + wd // 2, y + ht // 2)
                    xdo("click", 1)
                    xdo("type", "--delay", 30, "7261")
                    xdo("key", "Return")
                    time.sleep(3)
                    return True
            except Exception:
                continue
    return False


def toggle_cable(main):
    """The main window's context menu pulls or plugs the simulated cable: its items are About,
    the cable, the adapter (the menu is not on the bus, so the keys choose)."""
    x, y, w, h = extents(main)
    xdo("mousemove", x + w - 20, y + 20)
    xdo("click", 3)
    time.sleep(0.7)
    xdo("key", "Down", "Down", "Return")
    time.sleep(0.5)
    return True


def one_event(box):
    x, y, w, h = box
    px, py = x + rng.randrange(w), y + rng.randrange(h)
    r = rng.random()
    if r < 0.35:
        xdo("mousemove", px, py)
        xdo("click", 1)
        return "click"
    if r < 0.42:
        xdo("mousemove", px, py)
        xdo("click", "--repeat", 2, "--delay", 60, 1)
        return "double"
    if r < 0.47:
        xdo("mousemove", px, py)
        xdo("mousedown", 1)
        xdo("mousemove", x + rng.randrange(w), y + rng.randrange(h))
        xdo("mouseup", 1)
        return "drag"
    k = rng.choice(KEYS)
    if len(k) == 1:
        xdo("type", "--delay", 20, k)
    else:
        xdo("key", k)
    return "key"


def check_files(folder):
    problems = []
    for path in glob.glob(os.path.join(folder, "*")):
        name = os.path.basename(path)
        try:
            if name.endswith(".csv"):
                with open(path, newline="", encoding="utf-8", errors="strict") as f:
                    rows = list(csv.reader(f))
                widths = {len(r) for r in rows[1:] if r}
                if len(widths) > 1:
                    problems.append("%s: rows of %s fields" % (name, sorted(widths)))
            elif name.endswith(".log") or name.endswith(".ini") or name.endswith(".seq") \
                    or name.endswith(".dat") and "Dump" in name:
                with open(path, "rb") as f:
                    f.read().decode("latin-1")
            elif name.endswith(".pdf"):
                out = subprocess.run(["pdftotext", path, "-"], capture_output=True)
                if out.returncode != 0:
                    problems.append("%s: pdftotext failed" % name)
        except Exception as e:  # noqa: BLE001 - a file that cannot be read is the finding
            problems.append("%s: %s" % (name, e))
    return problems


root = find_app()
counts = {"click": 0, "double": 0, "drag": 0, "key": 0, "cable": 0, "login": 0}
windows_seen = set()
slowest = 0.0
hangs = []
end = time.time() + SECONDS
next_probe = 0
next_cable = time.time() + 60
while time.time() < end:
    if root is None or answer_time(root) is None:
        root = find_app()
        if root is None:
            hangs.append("the program did not come back")
            break
        continue
    if time.time() >= next_probe:
        t = answer_time(root)
        if t is not None:
            slowest = max(slowest, t)
            if t > HANG_S:
                hangs.append("answered after %.1f s" % t)
        next_probe = time.time() + 3
    try:
        tops = gui.top_windows(root)
    except Exception:  # the program is gone or restarting: find it again
        root = None
        continue
    names = []
    for w in tops:
        try:
            names.append(w.name or "")
        except Exception:  # the window closed while it was being listed
            names.append("")
    windows_seen.update(n for n in names if n)
    try:
        asked = login_if_asked(root)
    except Exception:
        asked = False
    if asked:
        counts["login"] += 1
        continue
    main = next((w for w, n in zip(tops, names) if "[P.No." in n), None)
    if main is not None and time.time() >= next_cable:
        try:
            if toggle_cable(main):
                counts["cable"] += 1
        except Exception:
            pass
        next_cable = time.time() + rng.uniform(30, 90)
        continue
    if not tops:
        time.sleep(0.5)
        continue
    # The window on top of the others: a modal one when it is open.
    target = tops[-1]
    try:
        counts[one_event(extents(target))] += 1
    except Exception:
        time.sleep(0.2)

work = os.getcwd()
asan = glob.glob(os.path.join(work, "asan.log*"))
exits = open(os.path.join(work, "monkey-exits.log")).read().split("\n") \
    if os.path.exists(os.path.join(work, "monkey-exits.log")) else []
crashes = [e for e in exits if e and not e.startswith("exit 0 ")]
files = check_files(work)
print("seed %d, %.0f s" % (SEED, SECONDS))
print("events:", counts, "total", sum(counts.values()))
print("windows visited:", sorted(n for n in windows_seen if n))
print("slowest answer: %.2f s; hangs: %s" % (slowest, hangs or "none"))
print("program ends:", [e for e in exits if e] or "none")
print("sanitizer reports:", asan or "none")
print("files:", sorted(os.path.basename(p) for p in glob.glob(os.path.join(work, "*"))
                       if os.path.isfile(p)))
print("unreadable files:", files or "none")
sys.exit(1 if hangs or crashes or asan or files else 0)
