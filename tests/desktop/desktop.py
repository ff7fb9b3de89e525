"""Drives the real quillantern on a real desktop, as a person (or a screen
reader) does: a window manager on the test session's Xvfb, or weston.

Run under tools/desktop-run.sh, with Debian's /usr/bin/python3 (pyatspi).
The window is found and driven through AT-SPI, which works on X11 and on
Wayland alike; the X11 side (geometry, window-manager requests, the
clipboard as other programs read it) goes through the usual X tools.
"""
import math
import os
import re
import subprocess
import tempfile
import time

import pyatspi

TITLE = "Quillantern"


# How long a test waits for anything before it calls it a hang. Every wait
# is for a state (a window shown, an event delivered), so this only bounds
# a failure: a busy two-core machine takes seconds, never this long.
BOUND = 60


class Timeout(AssertionError):
    pass


def wait_for(predicate, seconds, what):
    """Polls predicate until it returns something true; returns that."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            value = predicate()
        except Exception:  # the tree may change under us while it settles
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(f"{what}: not within {seconds} s")
        time.sleep(0.1)


def run(*command, check=True, timeout=20, **kw):
    return subprocess.run(command, check=check, timeout=timeout, capture_output=True, text=True, **kw)


class Report:
    """Named checks, printed and written as a GoogleTest-style XML report so
    that the closing line of `make test` counts them."""

    current = None  # the script's report, which every Program's log joins

    def __init__(self, suite, path=None):
        self.suite, self.cases, self.failures, self.path = suite, [], 0, path
        # What a failed check leaves for whoever reads it: the programs it
        # ran register their logs here (name -> a function that returns
        # the text).
        self.logs = {}
        Report.current = self

    def artefacts(self):
        """The folder beside the XML report where a failed check leaves
        a screenshot and the logs."""
        base = os.path.splitext(self.path)[0] if self.path else os.path.join(tempfile.gettempdir(), self.suite)
        return base + "-failures"

    def keep_evidence(self, name):
        folder = os.path.join(self.artefacts(), name)
        os.makedirs(folder, exist_ok=True)
        if os.environ.get("DISPLAY"):
            screenshot(os.path.join(folder, "screen.png"))
        sources = dict(self.logs)
        session = os.environ.get("QUILL_DESKTOP_LOGS")
        if session and os.path.isdir(session):
            for log in os.listdir(session):
                if log.endswith(".log"):
                    sources[log] = lambda path=os.path.join(session, log): open(path, errors="replace").read()
        for label, read in sources.items():
            try:
                text = read()
            except OSError:
                continue
            with open(os.path.join(folder, label if label.endswith(".log") else label + ".log"), "w") as out:
                out.write(text)
        return folder

    def check(self, name, test, *args):
        try:
            test(*args)
        except Exception as error:  # a failed check must not stop the others
            self.failures += 1
            message = f"{type(error).__name__}: {error}"
            print(f"FAILED: {name}: {message}", flush=True)
            try:
                print(f"  the screen and the logs are in {self.keep_evidence(name)}", flush=True)
            except Exception as trouble:  # the failure itself is what counts
                print(f"  (could not keep the screen and the logs: {trouble})", flush=True)
            text = message.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")
            self.cases.append(f'<testcase classname="{self.suite}" name="{name}">'
                              f'<failure message="{text}"/></testcase>')
        else:
            print(f"ok: {name}", flush=True)
            self.cases.append(f'<testcase classname="{self.suite}" name="{name}"/>')

    def finish(self, path=None):
        path = path or self.path
        print(f"{self.suite}: {self.failures} failed", flush=True)
        if path:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as out:
                out.write(f'<testsuites><testsuite name="{self.suite}">{"".join(self.cases)}'
                          "</testsuite></testsuites>")
        return 1 if self.failures else 0


def descendants(node, depth=6):
    for child in node:
        if child is None:
            continue
        yield child
        if depth > 1:
            yield from descendants(child, depth - 1)


class Program:
    """One run of the program under test, stopped by its pid at the end."""

    def __init__(self, exe, env=None, args=(), report=None):
        """env: what the program's environment has besides the session's
        (a value of None takes that variable away)."""
        self.log = tempfile.NamedTemporaryFile(prefix="quillantern-", suffix=".log", delete=False)
        self.last_output = None  # kept when the log goes, for a failure's evidence
        environment = {**os.environ, **(env or {})}
        self.process = subprocess.Popen([exe, *args], env={k: v for k, v in environment.items() if v is not None},
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.pid = self.process.pid
        report = report or Report.current
        if report is not None:
            report.logs[f"quillantern-{self.pid}"] = self.output

    # --- the accessibility tree -------------------------------------------
    def app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        return next(a for a in desktop if a is not None and a.get_process_id() == self.pid)

    def window(self, seconds=BOUND):
        """The top-level window titled Quillantern, once it shows."""
        def find():
            return next(w for w in self.app() if w.name == TITLE and
                        w.getState().contains(pyatspi.STATE_SHOWING))
        return wait_for(find, seconds, "the Quillantern window")

    def find(self, root, role, name=None, seconds=BOUND):
        def look():
            return next(n for n in descendants(root)
                        if n.getRoleName() == role and (name is None or n.name == name))
        return wait_for(look, seconds, f"a {role} named {name!r}")

    def press(self, name, root=None):
        button = self.find(root or self.window(), "push button", name)
        button.queryAction().doAction(0)

    def texts(self):
        """The five read-outs, by the names their labels give them."""
        window = self.window()
        names = ["Zecimal:", "Red:", "Green:", "Blue:", "Hexa (HTML):"]
        boxes = [self.find(window, "text", n) for n in names]
        return [b.queryText().getText(0, -1) for b in boxes]

    def dialog(self, seconds=BOUND):
        return wait_for(lambda: next(w for w in self.app() if w.getRoleName() == "dialog"
                                     and w.getState().contains(pyatspi.STATE_SHOWING)),
                        seconds, "the colour dialog")

    def pick(self, red, green, blue, confirm=True):
        """Presses "Selecteaza culoarea..", sets the channels in the real
        colour dialog's spin boxes and presses OK (or Cancel)."""
        on_wayland = bool(self.wayland_events())
        self.press("Selecteaza culoarea..")
        dialog = self.dialog()
        if on_wayland:
            # As a user sees the dialog active before using it: the
            # compositor has given it the keyboard (mutter may take a while,
            # and would then give it to the dialog once it is gone, taking it
            # from the window again).
            wait_for(lambda: self.keyboard_surface() not in (None, self.window_surface()), BOUND,
                     "the keyboard on the colour dialog")
        spins = {}
        for spin in descendants(dialog, 8):
            if spin.getRoleName() == "spin button":
                spins[spin.name.replace("&", "").rstrip(":")] = spin
        for channel, value in (("Red", red), ("Green", green), ("Blue", blue)):
            spins[channel].queryValue().currentValue = value
        self.press("OK" if confirm else "Cancel", dialog)
        wait_for(lambda: not any(w.getRoleName() == "dialog" and w.getState().contains(pyatspi.STATE_SHOWING)
                                 for w in self.app()), BOUND, "the dialog to close")
        if on_wayland:
            # A compositor may still be closing the dialog (weston fades it
            # out for about a second); the window has the keyboard again
            # once the dialog is gone.
            wait_for(lambda: self.keyboard_surface() == self.window_surface(), BOUND,
                     "the keyboard back on the window after the dialog")

    def copy(self):
        self.press("Copiaza in clipboard")

    def copy_by_key(self):
        """The copy button pressed from the keyboard: a Wayland compositor
        takes a selection only from a client that had input, so not from an
        AT-SPI action."""
        window = self.window()
        button = self.find(window, "push button", "Copiaza in clipboard")
        button.queryComponent().grabFocus()
        wait_for(lambda: button.getState().contains(pyatspi.STATE_FOCUSED), BOUND, "the copy button's focus")
        # The keyboard the window's own again (a dialog just closed, or
        # another client had it a moment to paste).
        wait_for(lambda: window.getState().contains(pyatspi.STATE_ACTIVE), BOUND, "the window active")
        if self.wayland_events():
            # Qt calls the window active as soon as its dialog closes; a
            # compositor may move the keyboard a moment later, and a key
            # before that goes to the dialog's surface, which is gone.
            wait_for(lambda: self.keyboard_surface() == self.window_surface(), BOUND,
                     "the keyboard on the program's window")
        keys("space")

    # --- the process ----------------------------------------------------------
    def wait_exit(self, seconds):
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.process.poll() is None

    def output(self):
        if self.last_output is not None:
            return self.last_output
        with open(self.log.name, errors="replace") as log:
            return log.read()

    # --- Wayland: what the program's connection received -----------------
    # A program started with WAYLAND_DEBUG=client logs every event its
    # compositor sends it. A compositor under load may deliver input late;
    # these let a test wait until the program has been told what the next
    # step needs (where the pointer is, that a button went down) instead of
    # hoping a moment was enough.
    _EVENT = re.compile(r"^\[ *[\d.]+\] (\w+)@\d+\.(\w+)\((.*)\)$")  # "[ 4575.1] wl_x@3.y(...)"

    def wayland_events(self):
        """[(interface, event, [arguments])] received so far, in order."""
        events = []
        for line in self.output().splitlines():
            match = self._EVENT.match(line)
            if match:
                events.append((match[1], match[2], [a.strip() for a in match[3].split(",")]))
        return events

    def pointer_position(self):
        """Where the compositor last said the pointer is, in the coordinates
        of the surface it is over, or None when it is over none of ours."""
        position = None
        for interface, event, args in self.wayland_events():
            if interface != "wl_pointer":
                continue
            # (The pixel the pointer is in: mutter reports its centre.)
            if event == "enter":
                position = (math.floor(float(args[2])), math.floor(float(args[3])))
            elif event == "motion":
                position = (math.floor(float(args[1])), math.floor(float(args[2])))
            elif event == "leave":
                position = None
        return position

    _KEYBOARD = re.compile(r"^\[ *[\d.]+\] wl_keyboard@\d+\.(enter|leave)\(\d+, (wl_surface@\d+|nil)")
    _DESTROYED = re.compile(r"^\[ *[\d.]+\]  -> (wl_surface@\d+)\.destroy\(\)")
    _TOPLEVEL = re.compile(r"^\[ *[\d.]+\]  -> xdg_wm_base@\d+\.get_xdg_surface\(new id xdg_surface@\d+, "
                           r"(wl_surface@\d+)\)", re.M)

    def keyboard_surface(self):
        """The program's surface the compositor last gave the keyboard, or
        None once it took it away or the program destroyed that surface
        (mutter may give it to one already gone: "enter(3, nil, ...)")."""
        focus = None
        for line in self.output().splitlines():
            if match := self._KEYBOARD.match(line):
                focus = match[2] if match[1] == "enter" and match[2] != "nil" else None
            elif (match := self._DESTROYED.match(line)) and match[1] == focus:
                focus = None
        return focus

    def window_surface(self):
        """The surface of the program's main window: its first toplevel."""
        match = self._TOPLEVEL.search(self.output())
        return match[1] if match else None

    def told(self, interface, *events):
        """How many of these events of `interface` the program was told of."""
        return sum(1 for i, e, _ in self.wayland_events() if i == interface and e in events)

    def keys_heard(self):
        return self.told("wl_keyboard", "key")

    def key_barrier(self, seconds=BOUND):
        """Returns once the program has been told of a key tapped now: a
        compositor takes its input in order, so whatever it made of the keys
        and clicks before (a binding, a title-bar click) it has made."""
        heard = self.keys_heard()
        keys("shift")
        wait_for(lambda: self.keys_heard() >= heard + 2, seconds, "the program told of a key (a barrier)")

    def surface_origin(self, x, y, seconds=BOUND):
        """Where the top left of the program's surface is on the screen, from
        where the compositor says the pointer is on it, once it enters at
        x, y (a point over the window)."""
        self.enter_at(x, y, seconds)
        local = wait_for(self.pointer_position, seconds, f"the program told of the pointer at {x}, {y}")
        return x - local[0], y - local[1]

    def enter_at(self, x, y, seconds=BOUND):
        """Moves the pointer out of the compositor's window where the session
        has room for that (tools/desktop-run.sh: QUILL_POINTER_OUTSIDE), and,
        where the compositor tells its clients that the pointer left its
        window (QUILL_POINTER_LEAVES) once the program has been told so, in
        again at x, y: a nested compositor learns the pointer's true place
        when it enters (weston moves its pointer by the X pointer's motion
        since it last entered, and keeps it on the surface when the X pointer
        leaves; mutter takes no warp within its window, and makes nothing of
        a leave and an entry that come together)."""
        outside = os.environ.get("QUILL_POINTER_OUTSIDE")
        if outside:
            run("xdotool", "mousemove", "--sync", *outside.split())
            if os.environ.get("QUILL_POINTER_LEAVES"):
                wait_for(lambda: self.pointer_position() is None, seconds, "the program told that the pointer left")
        run("xdotool", "mousemove", "--sync", str(x), str(y))

    def size(self):
        """The window's size as the program has it (its frame included where
        it draws one)."""
        return tuple(self.window().queryComponent().getSize())

    def buttons_seen(self):
        return self.told("wl_pointer", "button")

    def wayland_press(self, x, y, origin, seconds=BOUND):
        """Presses the first button at x, y on the screen over the program's
        surface whose top left lies at origin: enters there, and again a
        pixel or two off where the program says the pointer is elsewhere on
        its surface (a compositor may still move a window it has just
        placed, or report half pixels), or at the same point where the
        pointer did not stay there; then presses, and returns once the
        program was told of the press."""
        local = (x - origin[0], y - origin[1])
        near = lambda at: at is not None and abs(at[0] - local[0]) <= 1 and abs(at[1] - local[1]) <= 1
        for _ in range(4):
            entries = self.told("wl_pointer", "enter")
            self.enter_at(x, y, seconds)
            wait_for(lambda: self.told("wl_pointer", "enter") > entries, seconds,
                     f"the program told of the pointer near {local}")
            at = self.pointer_position()
            if near(at) and self.pointer_holds_at(at, seconds):
                break
            if at is not None and not near(at):
                x, y = x + local[0] - at[0], y + local[1] - at[1]
        else:
            raise AssertionError(f"the pointer never reached {local} of the surface (the program heard of "
                                 f"{self.pointer_position()})")
        seen = self.buttons_seen()
        run("xdotool", "mousedown", "1")
        wait_for(lambda: self.buttons_seen() > seen, seconds, "the program told of the mousedown")

    def pointer_holds_at(self, at, seconds=BOUND):
        """Whether the pointer the program was told of at `at` of its surface
        follows a step right and back there. A compositor takes the steps
        after the input it has not yet read: weston's X11 backend may still
        move its pointer by an entry's motion from an older position (under
        load, now and then, over another surface)."""
        for step, expected in ((1, (at[0] + 1, at[1])), (-1, at)):
            moves = lambda: self.told("wl_pointer", "enter", "leave", "motion")
            before = moves()
            if self.pointer_position() is None:
                return False
            run("xdotool", "mousemove_relative", "--sync", "--", str(step), "0")
            wait_for(lambda: moves() > before, seconds, "the program told of a step of the pointer")
            now = self.pointer_position()
            if now is None or abs(now[0] - expected[0]) > 1 or abs(now[1] - expected[1]) > 1:
                return False
        return True

    def wayland_click(self, x, y, origin, seconds=BOUND):
        """Clicks at x, y as wayland_press presses there, then releases once
        the program was told of the press, and returns once it was told of
        the release."""
        self.wayland_press(x, y, origin, seconds)
        seen = self.buttons_seen()
        run("xdotool", "mouseup", "1")
        wait_for(lambda: self.buttons_seen() > seen, seconds, "the program told of the mouseup")

    def copy_on_wayland(self):
        """The copy button pressed from the keyboard, as on a Wayland
        desktop; returns once the compositor has the copy."""
        self.copy_by_key()
        self.wayland_selection_taken()

    def wayland_selection_taken(self, seconds=BOUND):
        """Returns once the compositor has made the program's last clipboard
        offer the selection: after the program set it, the compositor offers
        it back (a compositor that takes a selection only from the focused
        client refuses one that comes too late, and cancels it)."""
        def answer():
            lines = self.output().splitlines()
            sets = [i for i, line in enumerate(lines) if re.search(r"-> wl_data_device@\d+\.set_selection\(wl_data", line)]
            if not sets:
                return None
            source = re.search(r"set_selection\((wl_data_source@\d+)", lines[sets[-1]])[1]
            after = lines[sets[-1] + 1:]
            if any(f"{source}.cancelled()" in line for line in after):
                return "refused"
            return "taken" if any('.offer("text/plain")' in line for line in after) else None
        assert wait_for(answer, seconds, "the compositor to take the program's copy") == "taken", \
            "the compositor refused the program's copy"

    def wayland_requests(self, request):
        """How many times the program has sent `request` (e.g.
        "xdg_toplevel.set_minimized")."""
        interface, name = request.split(".")
        pattern = re.compile(rf" -> {interface}@\d+\.{name}\(")
        return sum(1 for line in self.output().splitlines() if pattern.search(line))

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            if self.wait_exit(5) is None:
                self.process.kill()
                self.process.wait(timeout=5)
        self.last_output = self.output()
        os.unlink(self.log.name)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


# --- X11: the window as the window manager and other clients see it ----------
def x11_window(pid, seconds=BOUND):
    """The X id of the program's top-level window (wmctrl: by _NET_WM_PID)."""
    def find():
        for line in run("wmctrl", "-lp").stdout.splitlines():
            fields = line.split(None, 4)
            if len(fields) == 5 and fields[2] == str(pid) and fields[4] == TITLE:
                return fields[0]
        return None
    return wait_for(find, seconds, "the window on the X display")


def x11_geometry(xid):
    """(x, y, width, height) of the client area, in root coordinates."""
    info = run("xwininfo", "-id", xid).stdout
    get = lambda key: int(re.search(rf"{key}:\s+(-?\d+)", info).group(1))
    return get("Absolute upper-left X"), get("Absolute upper-left Y"), get("Width"), get("Height")


def x11_property(xid, name):
    return run("xprop", "-id", xid, name).stdout.strip()


def wm_request(xid, *args):
    """Asks the window manager (EWMH client message), as a desktop's keys,
    menus and tools do, e.g. ("-b", "add,fullscreen")."""
    run("wmctrl", "-i", "-r", xid, *args)


def wm_state(xid):
    return x11_property(xid, "_NET_WM_STATE")


def wm_barrier(xid):
    """Returns once the window manager has handled every request sent to it
    before: it takes client messages in order, so when a state asked for
    after them shows, they are done too. (Skip-pager, which changes neither
    the window's size nor Qt's idea of its state, and which window managers
    grant in full screen too.)"""
    for action, shown in (("add", True), ("remove", False)):
        wm_request(xid, "-b", f"{action},skip_pager")
        wait_for(lambda: ("_NET_WM_STATE_SKIP_PAGER" in wm_state(xid)) == shown, BOUND,
                 f"the window manager to {action} the skip-pager state (a barrier)")


def wm_name():
    """The running window manager's name as it gives it (e.g. "Openbox")."""
    check = run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK").stdout.split()[-1]
    return re.search(r'= "(.*)"', x11_property(check, "_NET_WM_NAME"))[1]


def title_bar_point(xid):
    """The middle of the title bar the window manager draws above the
    window, on the screen."""
    left, top, width, _ = x11_geometry(xid)
    extents = [int(v) for v in x11_property(xid, "_NET_FRAME_EXTENTS").split("=")[1].split(",")]
    return left + width // 2, top - max(1, extents[2] // 2)


def double_click(x, y):
    run("xdotool", "mousemove", "--sync", str(x), str(y), "click", "--repeat", "2", "--delay", "80", "1")


def close_through_wm(xid):
    """The window manager's close: _NET_CLOSE_WINDOW, answered with the
    window's WM_DELETE_WINDOW, as the title bar's close box does."""
    run("wmctrl", "-i", "-c", xid)


def clipboard_text():
    """The CLIPBOARD as another X11 program pastes it, or None."""
    result = run("xclip", "-selection", "clipboard", "-o", check=False, timeout=5)
    return result.stdout if result.returncode == 0 else None


def selection_owner(name):
    """The X id of the window that owns the selection `name` (e.g.
    CLIPBOARD_MANAGER), 0 for none; asked of the X server through libxcb."""
    import ctypes

    class Cookie(ctypes.Structure):
        _fields_ = [("sequence", ctypes.c_uint)]

    class Reply(ctypes.Structure):  # the intern-atom and selection-owner replies share this shape
        _fields_ = [("response_type", ctypes.c_uint8), ("pad", ctypes.c_uint8), ("sequence", ctypes.c_uint16),
                    ("length", ctypes.c_uint32), ("value", ctypes.c_uint32)]

    xcb = ctypes.CDLL("libxcb.so.1")
    libc = ctypes.CDLL(None)
    xcb.xcb_connect.restype = ctypes.c_void_p
    xcb.xcb_connection_has_error.argtypes = [ctypes.c_void_p]
    xcb.xcb_disconnect.argtypes = [ctypes.c_void_p]
    xcb.xcb_intern_atom.restype = Cookie
    xcb.xcb_intern_atom.argtypes = [ctypes.c_void_p, ctypes.c_uint8, ctypes.c_uint16, ctypes.c_char_p]
    xcb.xcb_get_selection_owner.restype = Cookie
    xcb.xcb_get_selection_owner.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
    for call in (xcb.xcb_intern_atom_reply, xcb.xcb_get_selection_owner_reply):
        call.restype = ctypes.POINTER(Reply)
        call.argtypes = [ctypes.c_void_p, Cookie, ctypes.c_void_p]
    libc.free.argtypes = [ctypes.c_void_p]

    def value(reply):
        if not reply:
            raise RuntimeError(f"the X server did not answer about {name}")
        result = reply.contents.value
        libc.free(reply)
        return result

    connection = xcb.xcb_connect(None, None)
    try:
        if xcb.xcb_connection_has_error(connection):
            raise RuntimeError("cannot connect to the X display")
        atom = value(xcb.xcb_intern_atom_reply(
            connection, xcb.xcb_intern_atom(connection, 0, len(name), name.encode()), None))
        return value(xcb.xcb_get_selection_owner_reply(connection, xcb.xcb_get_selection_owner(connection, atom), None))
    finally:
        xcb.xcb_disconnect(connection)


def screenshot(path):
    run("import", "-window", "root", path, check=False)


# --- Wayland (weston on the test session's Xvfb) ------------------------------
_VIEW = re.compile(r"View \d+ \(role xdg_toplevel, PID (\d+), .*top-level window '(.*)' of ")
_POSITION = re.compile(r"position: \((-?\d+), (-?\d+)\) -> \((-?\d+), (-?\d+)\)")


def weston_window_box(pid, title=TITLE):
    """(left, top, right, bottom) of the program's toplevel titled `title`
    on weston's output, as weston itself places it (its scene graph, through
    the debug protocol tools/desktop-run.sh starts it with): the whole
    surface, Qt's title bar and frame included. None while it shows none."""
    scene = run("weston-debug", "scene-graph", timeout=10).stdout.splitlines()
    for line, following in zip(scene, scene[1:]):
        view = _VIEW.search(line)
        position = _POSITION.search(following)
        if view and position and view[1] == str(pid) and view[2] == title:
            return tuple(int(v) for v in position.groups())
    return None


# --- KDE's KWin: its scripting interface (tools/desktop-run.sh --kwin) -------------
_scripts = [0]


def kwin_script(body, what, seconds=BOUND):
    """Runs JavaScript in KWin (its scripting interface over D-Bus, as KWin's
    own window menu and rules act), with say(text) to tell something back;
    returns what it said, once it has run to its end."""
    _scripts[0] += 1
    name = f"quill-{os.getpid()}-{_scripts[0]}"
    with tempfile.NamedTemporaryFile("w", suffix=".js", delete=False) as script:
        script.write(f"function say(text) {{ print({name!r} + ' ' + text); }}\n{body}\nsay('done');\n")
    log = os.path.join(os.environ["QUILL_DESKTOP_LOGS"], "kwin.log")
    bus = ["dbus-send", "--session", "--print-reply=literal", "--dest=org.kde.KWin"]
    try:
        loaded = run(*bus, "/Scripting", "org.kde.kwin.Scripting.loadScript", f"string:{script.name}",
                     f"string:{name}").stdout.split()[-1]
        run(*bus, f"/{loaded}", "org.kde.kwin.Script.run")
        said = lambda: [line.split(f"js: {name} ", 1)[1] for line in open(log, errors="replace").read().splitlines()
                        if line.startswith(f"js: {name} ")]
        wait_for(lambda: "done" in said(), seconds, f"KWin to run the script that {what}")
        return said()[:-1]
    finally:
        run(*bus, "/Scripting", "org.kde.kwin.Scripting.unloadScript", f"string:{name}", check=False)
        os.unlink(script.name)


def kwin_window(pid, statement, what):
    """Runs `statement` with `w` the program's window (by its process id)
    in KWin; returns what it said. geometry(w) says the window's frame."""
    import json
    said = kwin_script(f"""
function geometry(w) {{ var g = w.frameGeometry; say(JSON.stringify([g.x, g.y, g.width, g.height])); }}
var all = workspace.clientList();
for (var i = 0; i < all.length; ++i) {{
    var w = all[i];
    if (w.pid == {pid}) {{ {statement} }}
}}""", what)
    return [json.loads(line) if line.startswith("[") else line for line in said]


def pointer():
    """Where the X pointer is on the screen."""
    fields = dict(field.split(":") for field in run("xdotool", "getmouselocation").stdout.split()[:2])
    return int(fields["x"]), int(fields["y"])


def move_pointer(x, y):
    """Moves the pointer to x, y as a mouse does, by motion (XTEST's), as
    weston takes it; where it is on the screen, xdotool says."""
    for _ in range(5):  # (a pointer acceleration may overshoot a step)
        at = pointer()
        if at == (x, y):
            return
        run("xdotool", "mousemove_relative", "--sync", "--", str(x - at[0]), str(y - at[1]))
    raise AssertionError(f"the pointer would not go to {x}, {y} (it is at {pointer()})")


def keys(*combo):
    run("xdotool", "key", *combo)
