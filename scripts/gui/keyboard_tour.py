"""A keyboard-only tour of the program with real key events (xdotool), as a hand on the keys:
log in, read with Alt+I, type into the grid, open the factory dialog with Alt+E and type an
upper-case station identifier with signs, open the calibration window with Alt+C, press Return
in its Operator field (nothing may start), leave each window with Escape. Screenshots go to
the current folder with the prefix given as the first argument.

    TQ5800_LANG=ja QT_SCALE_FACTOR=1.5 ../shared/tools/gui-session /tmp/look \\
        scripts/gui/keyboard_tour.py ja150
"""
import os
import sys
import time

import gui

# The accessibility bus gives places in Qt's scaled pixels; xdotool clicks screen pixels.
SCALE = float(os.environ.get("QT_SCALE_FACTOR", "1"))
_center = gui.center
gui.center = lambda acc: tuple(int(v * SCALE) for v in _center(acc))

prefix = sys.argv[1] if len(sys.argv) > 1 else "tour"
root = gui.app()
pw = gui.find(root, role="password text", timeout=20)
gui.click(pw)
gui.type_keys("7261")
gui.key("Return")
main = gui.find(root, contains="[P.No.04765]", timeout=20)
time.sleep(2)
# Without a window manager the keyboard follows the pointer's last click.
gui.click(gui.find(main, role="table"))
gui.key("alt+i")
assert gui.wait_log("SerialLog.log", "SO,R,", 40), "Alt+I did not read"
time.sleep(2)
grid = gui.find(main, role="table")
# The warning level of the first gas: a click, a few keys the editor ignores, then digits.
gui.click(gui.cell(grid, 2, 2))
gui.key("F2", "shift", "ctrl", "Caps_Lock", "Caps_Lock", "F7", "Home", "End")
gui.type_keys("A")  # refused by the level rule, never a crash
gui.key("Escape", "F2", "ctrl+a")
gui.type_keys("12")
gui.key("Return", "Down", "Up", "Tab")
gui.screenshot(prefix + "-main.png")
assert gui.alive(root), "the program died in the main grid"

gui.key("alt+e")
time.sleep(2)
dialogs = [w for w in gui.top_windows(root) if "[P.No." not in (w.name or "")]
assert dialogs, "Alt+E opened nothing"
fs = dialogs[0]
table = gui.find(fs, role="table")
gui.click(gui.cell(table, 3, 1), 2)
gui.key("ctrl+a")
gui.type_keys("AB_<>/x-1")
gui.key("shift", "Return")
gui.screenshot(prefix + "-factory.png")
gui.key("ctrl+Tab")
time.sleep(0.5)
gui.screenshot(prefix + "-factory-tab2.png")
gui.key("Escape", "Escape")
time.sleep(1)
assert gui.alive(root), "the program died in the factory dialog"

gui.click(gui.find(main, role="table"))
gui.key("alt+c")
time.sleep(4)
cals = [w for w in gui.top_windows(root) if "[P.No." not in (w.name or "")]
assert cals, "Alt+C opened nothing"
cal = cals[0]
fields = [a for a in gui.walk(cal) if a.getRoleName() == "text" and gui.showing(a)]
gui.click(fields[0])
gui.type_keys("Ann O'Neil")
gui.key("Return", "KP_Enter", "Tab")
gui.type_keys("LOT-42")
gui.key("Return")
time.sleep(2)
with open("SerialLog.log", encoding="latin-1") as f:
    sent = f.read()
assert "SZ,W" not in sent and "S2,W" not in sent, "Return started an adjustment"
gui.screenshot(prefix + "-calibration.png")
gui.key("Escape")
time.sleep(2)
assert gui.alive(root), "the program died in the calibration window"
print(prefix, "tour done; windows now:", gui.windows(root))
