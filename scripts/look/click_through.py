"""Presses every command of the desktop program as a user would and screenshots each question,
progress window and result, for a person to look at afterwards.

    TQ5800_ARGS="-DEBUG -SEIZO" scripts/look/gui-look /tmp/look scripts/look/click_through.py OUT
    (TQ5800_LANG=ja, and QT_SCALE_FACTOR=1.5 with LOOK_SCREEN=1920x1350x24, for the others)
    LOOK_ONLY=read,pullread,pulldownload,pullupdate TQ5800_ARGS="-DEBUG --simulate-baud 1200" \
        scripts/look/gui-look /tmp/look-pull scripts/look/click_through.py OUT-pull
    (the cable pulled mid-command: at a cable's pace there is time to reach the menu)

Captions are taken from the message table of the language the program runs in, so the same
script drives both languages. Every step is tried on its own: one that fails is written to
OUT/steps.txt and the rest still run. Pictures land in OUT as NN-name.png.
"""
import os
import subprocess
import sys
import threading
import time

import gui
import pyatspi

OUT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "look-shots")
os.makedirs(OUT, exist_ok=True)
REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LANG = os.environ.get("TQ5800_LANG", "en")
STEPS = open(os.path.join(OUT, "steps.txt"), "w", encoding="utf-8")
SERIAL_LOG = "SerialLog.log"


def load_messages():
    table = {}
    with open(os.path.join(REPO, "resources", "messages", LANG + ".tsv"), encoding="utf-8") as f:
        for line in f:
            key, _, text = line.rstrip("\n").partition("\t")
            if key.isdigit():
                table[int(key)] = text
    return table


MESSAGES = load_messages()


def msg(number):
    """A caption as the user reads it ("&&" is one ampersand, "~c" a line break)."""
    return MESSAGES[number].replace("&&", "&").replace("~c", "\n")


# Qt's own buttons, in either language.
YES = ("Yes", "はい")
NO = ("No", "いいえ")
OK = ("OK",)
SHOW_DETAILS = ("Show Details", "詳細を表示")
SAVE = ("Save", "保存")
OPEN = ("Open", "開く")
CANCEL = ("Cancel", "キャンセル")

counter = [0]


def note(text):
    print(text)
    STEPS.write(text + "\n")
    STEPS.flush()


def shot(name):
    counter[0] += 1
    path = os.path.join(OUT, "%02d-%s.png" % (counter[0], name))
    gui.screenshot(path)
    note("shot %s  windows=%s" % (os.path.basename(path), gui.windows(ROOT)))
    return path


def step(name):
    def wrap(fn):
        def run(*args):
            note("== " + name)
            try:
                fn(*args)
            except Exception as e:  # keep going: the next step may still show something
                note("!! %s failed: %r" % (name, e))
                shot(name + "-failed")
                dismiss_all()

        return run

    return wrap


def main_window():
    return gui.find(ROOT, contains="[P.No.04765]", timeout=20)


BUTTONS = {}
# Windows that stay up behind a command (the calibration window) and are no progress window.
BACKGROUND = set()


def button(caption, within=None, timeout=10):
    """A button by its caption; the main window's are looked up once (a walk of the whole
    window is slower than a short progress window)."""
    if within is None and caption in BUTTONS:
        return BUTTONS[caption]
    found = gui.find(within or ROOT, role="push button", name=caption, timeout=timeout)
    if within is None:
        BUTTONS[caption] = found
    return found


def button_starting(names, within, timeout=10):
    end = time.time() + timeout
    while True:
        for a in gui.walk(within):
            try:
                if a.getRoleName() == "push button" and gui.showing(a) and any(
                    (a.name or "").startswith(n) for n in names
                ):
                    return a
            except Exception:
                continue
        if time.time() > end:
            raise LookupError("no button %r" % (names,))
        time.sleep(0.2)


class Top:
    """A top window as seen at one moment (a window that closes meanwhile keeps its role and
    name here instead of raising)."""

    def __init__(self, acc):
        self.acc = acc
        self.name = acc.name or ""
        self.role = acc.getRoleName()

    def getRoleName(self):
        return self.role

    def __iter__(self):
        return iter(self.acc)


def dialogs():
    """The top windows besides the main window, the newest last."""
    out = []
    for w in gui.top_windows(ROOT):
        try:
            top = Top(w)
            if "[P.No.04765]" not in top.name:
                out.append(top)
        except Exception:
            pass
    return out


def wait_dialog(title=None, roles=("alert", "dialog", "file chooser"), timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        for w in dialogs():
            try:
                if w.getRoleName() in roles and (title is None or w.name == title):
                    return w
            except Exception:
                pass
        time.sleep(0.1)
    raise LookupError("no dialog %r" % (title,))


def texts_of(window):
    out = []
    for a in gui.walk(window):
        try:
            if not gui.showing(a):
                continue
            if a.getRoleName() in ("label", "static") and a.name:
                out.append(a.name)
            elif a.getRoleName() == "text":
                out.append(gui.text_of(a))
        except Exception:
            pass
    return out


class Burst:
    """Screenshots in a loop while a command runs, to keep one taken while a short-lived
    progress window was up (a screenshot taken after seeing it is often too late)."""

    def __init__(self):
        self.frames = []
        self.seen = []
        self.gone = None
        self.stop = False
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def run(self):
        i = 0
        while not self.stop:
            path = os.path.join(OUT, ".burst-%d.png" % i)
            start = time.time()
            # Not xwd, though quicker: it leaves windows with an alpha channel (the progress
            # windows) black.
            gui.screenshot(path)
            self.frames.append((start, time.time(), path))
            i += 1

    def watch(self, timeout, question=None):
        """Polls for a progress window until none has been up for a while (or a result box
        is up); `question` is the box just answered, which may still be closing."""
        asked = question.name if question is not None else None
        exit_button = button(msg(5007))
        begin = time.time()
        end = begin + timeout
        while time.time() < end:
            tops = [w for w in dialogs() if not (w.getRoleName() == "alert" and w.name == asked)]
            if any(w.getRoleName() == "alert" for w in tops):
                break
            if not tops and time.time() - begin > 0.5 and gui.enabled(exit_button):
                break
            up = [w for w in tops if w.getRoleName() == "dialog" and w.name not in BACKGROUND]
            if up:
                if not self.seen:
                    note("   progress: %r %r" % (up[0].name, texts_of(up[0])))
                self.seen.append(time.time())
            elif self.seen:
                self.gone = self.gone or time.time()
                if time.time() - self.seen[-1] > 1.0:
                    break
            time.sleep(0.05)

    def keep(self, name):
        self.stop = True
        self.thread.join()
        chosen = None
        if self.seen:
            # The last frame begun while the window was up: it has had time to paint.
            inside = [f for f in self.frames if self.seen[0] <= f[0] <= self.seen[-1]]
            closing = [f for f in self.frames if self.seen[0] <= f[0] <= (self.gone or 0)]
            if inside:
                chosen = inside[-1][2]
            elif closing:
                chosen = closing[0][2]
        for _, _, path in self.frames:
            if path == chosen:
                counter[0] += 1
                kept = os.path.join(OUT, "%02d-%s-progress.png" % (counter[0], name))
                os.replace(path, kept)
                note("shot %s (taken while the progress window was up)" % os.path.basename(kept))
            else:
                os.remove(path)
        if not chosen:
            note("   (no progress window caught)")


def answer(window, names):
    gui.press(button_starting(names, window))
    end = time.time() + 10
    while time.time() < end and any(
        w.name == window.name and w.getRoleName() == window.getRoleName() for w in dialogs()
    ):
        time.sleep(0.1)


def dismiss_all():
    for w in reversed(dialogs()):
        for names in (NO, OK, CANCEL):
            try:
                gui.press(button_starting(names, w, timeout=1))
                break
            except Exception:
                continue
        time.sleep(0.5)


def idle(timeout=120):
    """Waits until no command runs (Exit is enabled again) and no progress window is up."""
    end = time.time() + timeout
    exit_button = button(msg(5007))
    while time.time() < end:
        if gui.enabled(exit_button) and not dialogs():
            return True
        time.sleep(0.2)
    note("!! still busy after %d s" % timeout)
    return False


def connected(timeout=30):
    end = time.time() + timeout
    read = button(msg(5037))
    while time.time() < end:
        if gui.enabled(read):
            return True
        time.sleep(0.2)
    return False


def log_lines():
    pane = None
    for a in gui.walk(main_window()):
        try:
            if a.getRoleName() == "text" and a.queryComponent().getExtents(0).height > 40:
                pane = a
        except Exception:
            pass
    return gui.text_of(pane).splitlines() if pane else []


def note_log_tail(n=4):
    for line in log_lines()[-n:]:
        note("   log: " + line)


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=False)


# The accessibility bus reports Qt's scaled-down coordinates; the pointer moves in pixels.
SCALE = float(os.environ.get("QT_SCALE_FACTOR", "1") or 1)


def move_to(x, y):
    xdo("mousemove", int(x * SCALE), int(y * SCALE))


def click(acc, button_no=1, double=False):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    move_to(e.x + e.width // 2, e.y + e.height // 2)
    xdo("click", "--repeat", 2 if double else 1, button_no)


def banner():
    return gui.find(main_window(), role="label", contains="P.No.04765")


# The context menu's entries, in order; the menu is not on the accessibility bus, so it is
# driven by keys (it holds the keyboard while it is open).
MENU = {"about": 1, "cable": 2, "adapter": 3}


def context_menu_entry(entry, label=None):
    click(banner(), 3)
    time.sleep(0.4)
    xdo("key", *(["Down"] * MENU[entry]))
    time.sleep(0.2)
    if label:
        shot(label)
    xdo("key", "Return")
    time.sleep(0.3)


def run_with_question(command, name, detail=False):
    """Presses a command, screenshots its question, answers Yes, catches the progress window
    and screenshots the result box."""
    gui.press(button(command))
    q = wait_dialog()
    note("   question: %r %r" % (q.name, texts_of(q)))
    shot(name + "-question")
    if detail:
        gui.press(button_starting(SHOW_DETAILS, q))
        time.sleep(0.5)
        note("   detail: %r" % texts_of(q))
        shot(name + "-question-detail")
    burst = Burst()
    gui.press(button_starting(YES, q))
    burst.watch(30, q)
    burst.keep(name)
    result_box(name)


def catch_progress(name, action, timeout=60, question=None):
    """Runs `action` (a press) with screenshots going, and keeps one of its progress window."""
    button(msg(5007))
    burst = Burst()
    action()
    burst.watch(timeout, question)
    burst.keep(name)


def result_box(name, timeout=60):
    end = time.time() + timeout
    exit_button = button(msg(5007))
    while time.time() < end:
        for w in dialogs():
            if w.getRoleName() == "alert":
                note("   result: %r %r" % (w.name, texts_of(w)))
                shot(name + "-result")
                answer(w, OK + YES)
                return
        if gui.enabled(exit_button) and not dialogs():
            break
        time.sleep(0.2)
    note_log_tail()
    shot(name + "-done")


@step("password")
def password():
    pw = gui.find(ROOT, role="password text", timeout=30)
    time.sleep(0.5)
    shot("password")
    gui.set_text(pw, "7261")
    gui.press(button(OK[0]))
    main_window()
    connected()
    time.sleep(0.5)
    shot("main-connected")


@step("context menu")
def context_menu():
    click(banner(), 3)
    time.sleep(0.5)
    shot("context-menu")
    xdo("key", "Escape")
    time.sleep(0.3)


@step("read")
def read():
    catch_progress("read", lambda: gui.press(button(msg(5037))))
    idle()
    time.sleep(1.2)
    note_log_tail()
    shot("main-after-read")


@step("information get and save")
def info_get_save():
    catch_progress("info-get-save", lambda: gui.press(button(msg(5047))))
    idle()
    note_log_tail(2)
    shot("info-get-save-done")


@step("store local file")
def store_file():
    gui.press(button(msg(5229)))
    d = wait_dialog()
    time.sleep(0.5)
    shot("store-file-dialog")
    gui.set_text(file_name_field(d), os.path.abspath("look.seq"))
    answer(d, SAVE)
    time.sleep(0.5)
    note("   stored: %s" % os.path.exists("look.seq"))


@step("load local file")
def load_file():
    # The same settings with other alarm levels and identity, so that Update and Update ID
    # have something to list.
    with open("look.seq", encoding="latin-1") as f:
        text = f.read()
    text = text.replace("A1,W,   10,", "A1,W,    8,", 1).replace("SC,W,0032,", "SC,W,0028,", 1)
    with open("look-changed.seq", "w", encoding="latin-1", newline="") as f:
        f.write(text)
    gui.press(button(msg(5228)))
    d = wait_dialog()
    time.sleep(0.5)
    shot("load-file-dialog")
    gui.set_text(file_name_field(d), os.path.abspath("look-changed.seq"))
    answer(d, OPEN)
    time.sleep(1)
    for w in dialogs():
        note("   after load: %r %r" % (w.name, texts_of(w)))
        shot("load-file-result")
        answer(w, OK)
    shot("main-after-load")


@step("update")
def update():
    run_with_question(msg(5214), "update", detail=True)


@step("update id")
def update_id():
    # Types a new user ID as a user would: click, select all, type, Tab.
    field = gui.find(main_window(), role="text", name=msg(5211))
    click(field)
    xdo("key", "ctrl+a")
    xdo("type", "FIELD SERVICE 2")
    xdo("key", "Tab")
    time.sleep(0.5)
    run_with_question(msg(5255), "update-id", detail=True)


@step("date/time set")
def date_time():
    run_with_question(msg(5215), "datetime")


@step("default")
def default():
    run_with_question(msg(5221), "default")


@step("clear power log")
def clear_power():
    run_with_question(msg(5230), "clear-power-log")


@step("clear logger data")
def clear_logger():
    run_with_question(msg(5040), "clear-logger-data")


@step("write check data")
def write_check():
    run_with_question(msg(5231), "write-check-data")


@step("flash check")
def flash_check():
    gui.press(button(msg(5256)))
    q = wait_dialog()
    note("   question: %r %r" % (q.name, texts_of(q)))
    shot("flash-check-question")
    catch_progress("flash-check", lambda: gui.press(button_starting(YES, q)), 180, q)
    result_box("flash-check", timeout=180)


@step("download logger data")
def download():
    catch_progress("download", lambda: gui.press(button(msg(5038))), timeout=180)
    idle(180)
    note_log_tail(3)
    shot("download-done")


@step("FRAM dump")
def fram_dump():
    gui.press(button(msg(5222)))
    q = wait_dialog()
    note("   question: %r %r" % (q.name, texts_of(q)))
    shot("fram-dump-question")
    catch_progress("fram-dump", lambda: gui.press(button_starting(YES, q)), 180, q)
    idle(180)
    note_log_tail(3)
    shot("fram-dump-done")


@step("factory dialog")
def factory():
    gui.press(button(msg(5226)))
    d = wait_dialog()
    time.sleep(1)
    shot("factory")
    tabs = [a for a in gui.walk(d) if a.getRoleName() == "page tab"]
    for i, tab in enumerate(tabs):
        try:
            tab.querySelection  # noqa: B018 - a tab is selected through its parent
            tab.parent.querySelection().selectChild(i)
        except Exception:
            click(tab)
        time.sleep(0.8)
        shot("factory-tab%d" % (i + 1))
    d = wait_dialog()
    for names in (CANCEL, OK):
        try:
            answer(d, names)
            break
        except Exception:
            continue
    if dialogs():
        xdo("key", "Escape")


def file_name_field(dialog):
    """The file dialog's name field: the lowest editable text in it."""
    fields = []
    for a in gui.walk(dialog):
        try:
            if a.getRoleName() == "text" and gui.showing(a):
                fields.append((a.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).y, a))
        except Exception:
            pass
    return max(fields, key=lambda f: f[0])[1]


def wait_alert(timeout):
    end = time.time() + timeout
    while time.time() < end:
        for w in dialogs():
            if w.getRoleName() == "alert":
                return w
        time.sleep(0.1)
    return None


@step("gas selection")
def gas_selection():
    # Unticking a slot's Enable asks; ticking it again opens the gas list.
    grid = [a for a in gui.walk(main_window()) if a.getRoleName() == "table cell" and gui.showing(a)]
    header = next(a for a in grid if a.name == msg(5649).split("|")[0] or a.name == "Enable")
    last_gas = [a for a in grid if a.queryComponent().getExtents(0).x < header.queryComponent().getExtents(0).x and a.name]
    row = last_gas[-1].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    col = header.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    move_to(col.x + col.width // 2, row.y + row.height // 2)
    xdo("click", 1)
    q = wait_alert(5)
    if q is not None:
        note("   untick question: %r" % texts_of(q))
        shot("gas-untick-question")
        answer(q, YES)
    time.sleep(0.5)
    xdo("click", 1)
    d = wait_dialog(timeout=5)
    time.sleep(0.5)
    note("   gas list: %r %r" % (d.name, texts_of(d)))
    shot("gas-selection")
    for names in (CANCEL, OK):
        try:
            answer(d, names)
            break
        except Exception:
            continue
    time.sleep(0.5)
    for w in dialogs():
        note("   after the gas list: %r %r" % (w.name, texts_of(w)))
        shot("gas-selection-after")
        answer(w, OK)


@step("calibration")
def calibration():
    gui.press(button(msg(5216)))
    d = wait_dialog(title=msg(9201))
    BACKGROUND.add(d.name)
    time.sleep(2)
    shot("calibration-open")
    gui.set_text(gui.find(d, role="text", name=msg(5703)), "K. Tanaka")
    gui.set_text(gui.find(d, role="text", name=msg(5704)), "LOT 4471-B")
    calibration_step(d, msg(5218), "calibration-zero")
    time.sleep(1.5)
    shot("calibration-trend-settling")
    time.sleep(6)
    shot("calibration-before-span")
    calibration_step(d, msg(5219), "calibration-span")
    time.sleep(1)
    shot("calibration-after-span")
    gui.press(button(msg(5702), d))
    f = wait_dialog(title=msg(5705))
    time.sleep(0.5)
    shot("certificate-save-dialog")
    pdf = os.path.join(OUT, "certificate.pdf")
    gui.set_text(file_name_field(f), pdf)
    answer(f, SAVE)
    end = time.time() + 10
    while time.time() < end and not os.path.exists(pdf):
        time.sleep(0.2)
    time.sleep(1)
    if os.path.exists(pdf):
        counter[0] += 1
        subprocess.run(
            ["pdftoppm", "-png", "-r", "80", "-f", "1", "-l", "1", "-singlefile", pdf,
             os.path.join(OUT, "%02d-certificate-page1" % counter[0])],
            check=False,
        )
        note("   certificate rendered")
    else:
        note("!! no certificate written")
    note_log_tail(2)
    shot("calibration-after-certificate")
    gui.press(button(msg(5220), d))
    q = wait_alert(5)
    if q is not None:
        note("   exit calibration: %r" % texts_of(q))
        shot("calibration-exit-question")
        answer(q, YES + OK)
    idle(60)
    note_log_tail(3)
    shot("main-after-calibration")


def calibration_step(window, caption, name):
    """Presses Zero or Span, keeps a picture of its progress window and of its result."""
    catch_progress(name, lambda: gui.press(button(caption, window)), 120)
    box = wait_alert(60)
    if box is None:
        note("!! no result box after %s" % name)
        return
    note("   %s result: %r" % (name, texts_of(box)))
    shot(name + "-result")
    answer(box, OK)


@step("about box")
def about():
    context_menu_entry("about")
    d = wait_dialog()
    time.sleep(0.5)
    note("   about: %r" % texts_of(d))
    shot("about")
    answer(d, OK)


def pull_during(name, start, entry, delay):
    """Pulls the cable (or the adapter) while a command runs, with the program started with
    --simulate-baud so that commands take as long as on a cable. Then the picture of what the
    user sees, the entry again to plug it back in, and the picture of the reconnection."""
    start()
    time.sleep(delay)
    context_menu_entry(entry, name + "-pull-menu")
    result_box(name + "-pulled", timeout=120)
    idle(60)
    time.sleep(0.5)
    note_log_tail(4)
    shot(name + "-after-pull")
    context_menu_entry(entry, name + "-plug-menu")
    ok = connected(30)
    if not ok:
        # The command ended before the entry was taken (at full speed it may): the first
        # press pulled the cable only now, the second one plugs it back in.
        note("   the command ended before the pull; plugging back in")
        context_menu_entry(entry)
        ok = connected(30)
    time.sleep(1)
    note("   reconnected: %s" % ok)
    note_log_tail(2)
    shot(name + "-reconnected")


@step("cable pulled during a read")
def pull_read():
    pull_during("pull-read", lambda: gui.press(button(msg(5037))), "cable", 1)


@step("cable pulled during a download")
def pull_download():
    pull_during("pull-download", lambda: gui.press(button(msg(5038))), "cable", 2)


@step("adapter pulled during an update")
def pull_update():
    def start():
        gui.press(button(msg(5214)))
        gui.press(button_starting(YES, wait_dialog()))

    pull_during("pull-update", start, "adapter", 0.3)


@step("power off")
def power_off():
    gui.press(button(msg(5041)))
    q = wait_dialog()
    note("   question: %r %r" % (q.name, texts_of(q)))
    shot("power-off-question")
    answer(q, YES)
    time.sleep(3)
    shot("power-off-after")
    note("   reconnected: %s" % connected(30))
    note_log_tail(3)
    shot("power-off-reconnected")


@step("exit")
def exit_program():
    gui.press(button(msg(5007)))
    q = wait_dialog()
    note("   question: %r %r" % (q.name, texts_of(q)))
    shot("exit-question")
    answer(q, NO)


ROOT = gui.app()
ONLY = os.environ.get("LOOK_ONLY", "").split(",") if os.environ.get("LOOK_ONLY") else None
ALL = [
    ("password", password), ("context", context_menu), ("read", read),
    ("infosave", info_get_save), ("store", store_file), ("load", load_file),
    ("update", update), ("updateid", update_id), ("datetime", date_time), ("default", default),
    ("clearpower", clear_power), ("clearlogger", clear_logger), ("writecheck", write_check),
    ("flash", flash_check), ("download", download), ("fram", fram_dump), ("factory", factory),
    ("gas", gas_selection), ("calibration", calibration), ("about", about),
    ("pullread", pull_read), ("pulldownload", pull_download), ("pullupdate", pull_update),
    ("poweroff", power_off), ("exit", exit_program),
]
for key, fn in ALL:
    if ONLY is None or key in ONLY or key == "password":
        fn()
note("done")
