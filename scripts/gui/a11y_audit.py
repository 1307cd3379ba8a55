"""Lists, for every window the program shows, the focusable controls without an accessible
name, as a screen reader meets them on the accessibility bus. Run through gui-session:

    ../shared/tools/gui-session /tmp/look scripts/gui/a11y_audit.py

It logs in, reads the instrument, opens the factory dialog (its four tabs) and the
calibration window, and prints one line per unnamed control; the exit status is the count."""
import sys
import time

import pyatspi

import gui

FOCUSABLE = pyatspi.STATE_FOCUSABLE


def unnamed(window, where):
    found = []
    for a in gui.walk(window):
        try:
            st = a.getState()
            if not (st.contains(FOCUSABLE) and st.contains(pyatspi.STATE_SHOWING)):
                continue
            role = a.getRoleName()
            # An empty data cell is read as blank; a check cell must say what it switches.
            if role == "table cell" and not st.contains(pyatspi.STATE_CHECKED):
                continue
            if not (a.name or "").strip():
                parent = a.parent
                found.append("%s: %s in %s %r" % (where, role, parent.getRoleName() if parent else "-",
                                                   parent.name if parent else ""))
        except Exception:
            continue
    return found


def headers(window, where):
    out = []
    for a in gui.walk(window):
        try:
            if a.getRoleName() != "table" or not gui.showing(a):
                continue
            t = a.queryTable()
            for c in range(t.nColumns):
                h = t.getColumnHeader(c)
                if h is None or not (h.name or "").strip() or h.name.isdigit():
                    out.append("%s: table %r column %d header %r" %
                               (where, a.name, c, None if h is None else h.name))
        except Exception:
            continue
    return out


root = gui.app()
problems = []
pw = gui.find(root, role="password text", timeout=20)
problems += unnamed(gui.top_windows(root)[0], "password")
gui.login(root)
main = gui.find(root, contains="Setup Program [", timeout=20)
gui.press(gui.find(root, role="push button", name="Instrument Information"))
gui.wait_log("SerialLog.log", "SO,R,", 30)
time.sleep(2)
problems += unnamed(main, "main")
problems += headers(main, "main")
gui.press(gui.find(root, role="push button", name="Detail Settings"))
time.sleep(2)
for w in gui.top_windows(root):
    if w.name and "Setup Program [" not in w.name:
        tabs = gui.find(w, role="page tab list", timeout=5)
        for i in range(tabs.childCount):
            gui.click(tabs[i])
            time.sleep(0.7)
            problems += unnamed(w, "factory tab %d" % i)
            problems += headers(w, "factory tab %d" % i)
        gui.press(gui.find(w, role="push button", name="Cancel"))
time.sleep(1)
gui.press(gui.find(root, role="push button", name="Calibration"))
time.sleep(3)
for w in gui.top_windows(root):
    if w.name and "Setup Program [" not in w.name:
        problems += unnamed(w, "calibration")
        problems += headers(w, "calibration")
        gui.screenshot("calibration.png")
for p in problems:
    print(p)
print("unnamed or unheaded:", len(problems))
sys.exit(min(len(problems), 100))
