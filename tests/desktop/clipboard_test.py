"""The copied value outlives the window, as a user meets it: pick orange,
copy, close the window through the window manager (or the compositor),
paste elsewhere. The program itself ends with 0; its keeper,
quillantern-clipboard-x11 or -wayland, serves the value until another client copies, or,
where a clipboard manager saves it, hands it over and ends.

  tools/desktop-run.sh --wm openbox /usr/bin/python3 tests/desktop/clipboard_test.py x11 EXE [REPORT.xml]
  tools/desktop-run.sh --sway /usr/bin/python3 tests/desktop/clipboard_test.py sway EXE [REPORT.xml]
  tools/desktop-run.sh --weston /usr/bin/python3 tests/desktop/clipboard_test.py weston EXE [REPORT.xml]

Bounds here only catch a hang; how fast the program ends is measured by
make bench (bench/keeper_footprint.py), never asserted.
"""
import contextlib
import os
import subprocess
import sys
import tempfile
import time

import clipboard_peers
import desktop
import pyatspi

ORANGE = "33023"
HANG = 30  # seconds


def keeper(exe, protocol="x11"):
    return os.path.join(os.path.dirname(os.path.realpath(exe)), f"quillantern-clipboard-{protocol}")


def left(exe):
    """The program's processes, its keepers' included."""
    return clipboard_peers.processes(exe, keeper(exe, "x11"), keeper(exe, "wayland"))


def nothing_left(exe, why):
    desktop.wait_for(lambda: not left(exe), HANG, f"every process of the program to end ({why})")


def until(moment):
    time.sleep(max(0.0, moment - time.monotonic()))


def close_x11(program):
    desktop.close_through_wm(desktop.x11_window(program.pid))


def wayland_text():
    """The clipboard as a Wayland client pastes it, or None."""
    result = desktop.run("wl-paste", "--no-newline", check=False, timeout=10)
    return result.stdout if result.returncode == 0 else None


def close_sway(program):
    desktop.run("swaymsg", "[app_id=quillantern] kill")


def close_by_key(program):
    """The desktop's close key, Alt+F4, on the active window (GNOME's and
    KDE's): the compositor asks the window to close."""
    desktop.wait_for(lambda: program.window().getState().contains(pyatspi.STATE_ACTIVE), HANG, "the window active")
    desktop.keys("alt+F4")


X11 = {"env": {"QT_QPA_PLATFORM": "xcb"}, "copy": lambda program: program.copy(), "close": close_x11,
       "paste": desktop.clipboard_text}
SWAY = {"env": {"QT_QPA_PLATFORM": "wayland"}, "copy": desktop.Program.copy_by_key, "close": close_sway, "paste": wayland_text}
# GNOME's and KDE's compositors: a copy from the keyboard, taken once the
# compositor has it; the close key.
DESKTOP = {"env": {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DEBUG": "client"}, "copy": desktop.Program.copy_on_wayland,
           "close": close_by_key, "paste": wayland_text}


def run_and_close(exe, session, copy=True, before_close=None):
    """Picks orange, copies (or not), closes; checks that the program ends
    with 0. Returns the close's time."""
    with desktop.Program(exe, env=session["env"]) as program:
        program.window()
        program.pick(255, 128, 0)
        if copy:
            session["copy"](program)
            desktop.wait_for(lambda: session["paste"]() == ORANGE, HANG, "the copy to paste")
        if before_close:
            before_close()
        session["close"](program)
        closed = time.monotonic()
        code = program.wait_exit(HANG)
        assert code == 0, f"exit code {code!r} after the close; output: {program.output()!r}"
        return closed


def pastes_later(closed, paste):
    for after in (1, 5):
        until(closed + after)
        assert paste() == ORANGE, f"{after} s after the close: {paste()!r}"


@contextlib.contextmanager
def cleaned_up(exe):
    """Yields a list for the processes a case starts (other programs that
    copy, managers); at the end stops them and whatever of the program is
    left, by pid."""
    started = []
    try:
        yield started
    finally:
        clipboard_peers.stop(left(exe))
        for process in started:
            if hasattr(process, "terminate"):
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(timeout=10)
            else:
                process.stop()


def take_clipboard(text, command, paste):
    """Another program copies and owns the clipboard until it is stopped."""
    taker = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    taker.stdin.write(text.encode())
    taker.stdin.close()
    desktop.wait_for(lambda: paste() == text, HANG, f"another program to own the clipboard with {text!r}")
    return taker


def xclip_copy(text):
    return take_clipboard(text, ["xclip", "-selection", "clipboard", "-i", "-quiet"], desktop.clipboard_text)


def wl_copy(text):
    """wl-copy sets the selection; without data control (GNOME) it needs
    the keyboard focus for a moment, which a paste (wl-paste takes it too)
    must not take from it before the compositor has its selection: the
    paste waits until the compositor offers wl-copy's selection back."""
    log = tempfile.NamedTemporaryFile(prefix="wl-copy-", suffix=".log")
    taker = subprocess.Popen(["wl-copy", "--foreground"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                             stderr=log, env={**os.environ, "WAYLAND_DEBUG": "1"})
    taker.stdin.write(text.encode())
    taker.stdin.close()

    def answer():
        lines = open(log.name, errors="replace").read().splitlines()
        sets = [i for i, line in enumerate(lines) if ".set_selection(" in line]
        if not sets:
            return None
        if any(".cancelled()" in line for line in lines[sets[0]:]):
            return "refused"
        return "taken" if any('.offer("UTF8_STRING")' in line for line in lines[sets[0]:]) else None
    try:
        assert desktop.wait_for(answer, HANG, "the compositor to take wl-copy's copy") == "taken", \
            "the compositor refused wl-copy's copy"
        desktop.wait_for(lambda: wayland_text() == text, HANG, f"another program to own the clipboard with {text!r}")
    except BaseException:
        taker.kill()
        taker.wait()
        raise
    finally:
        log.close()
    return taker


# --- X11 -----------------------------------------------------------------------
def copy_close_paste(exe):
    with cleaned_up(exe) as started:
        closed = run_and_close(exe, X11)
        assert "Quillantern" not in desktop.run("wmctrl", "-l").stdout, "a window is left"
        assert left(exe), "nothing keeps the value"
        targets = desktop.run("xclip", "-selection", "clipboard", "-t", "TARGETS", "-o").stdout.split()
        for target in ("UTF8_STRING", "STRING", "TEXT", "text/plain", "text/plain;charset=utf-8"):
            assert target in targets, f"{target} not offered: {targets}"
            pasted = desktop.run("xclip", "-selection", "clipboard", "-t", target, "-o", check=False, timeout=5)
            assert pasted.stdout == ORANGE, f"as {target}: {pasted.stdout!r} {pasted.stderr!r}"
        refused = desktop.run("xclip", "-selection", "clipboard", "-t", "image/png", "-o", check=False, timeout=5)
        assert refused.returncode != 0 and not refused.stdout, "a target never offered was answered"
        pastes_later(closed, desktop.clipboard_text)
        started.append(xclip_copy("another value"))
        nothing_left(exe, "another program copied")
        assert desktop.clipboard_text() == "another value"


def nothing_copied_or_taken_over(exe):
    with cleaned_up(exe) as started:
        run_and_close(exe, X11, copy=False)
        nothing_left(exe, "nothing was copied")
        run_and_close(exe, X11, before_close=lambda: started.append(xclip_copy("taken before the close")))
        nothing_left(exe, "another program copied before the close")
        assert desktop.clipboard_text() == "taken before the close"


def process_manager(*command):
    def start():
        return subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return start


# name, how it starts, whether it saves the value (else it never answers)
MANAGERS = [
    ("the reference fake", lambda: clipboard_peers.Manager("reference"), True),
    ("a fake that never answers", lambda: clipboard_peers.Manager("silent"), False),
    ("xfsettingsd", process_manager("xfsettingsd", "--no-daemon", "--replace"), True),
    # It never answers a request to save: it takes the value itself only
    # once nobody owns CLIPBOARD, a moment the keeper never leaves.
    ("xfce4-clipman", process_manager("xfce4-clipman"), False),
]


def clipboard_managers(exe):
    failures = []
    for name, start, saves in MANAGERS:
        try:
            with cleaned_up(exe) as started:
                started.append(start())
                desktop.wait_for(lambda: desktop.selection_owner("CLIPBOARD_MANAGER"), HANG,
                                 f"{name} to own CLIPBOARD_MANAGER")
                closed = run_and_close(exe, X11)
                if saves:
                    nothing_left(exe, f"{name} saved the value")
                pastes_later(closed, desktop.clipboard_text)
                if not saves:
                    assert left(exe), "the value was left to a manager that never answered"
                    started.append(xclip_copy("another value"))
                    nothing_left(exe, "another program copied")
            desktop.wait_for(lambda: not desktop.selection_owner("CLIPBOARD_MANAGER"), HANG,
                             f"{name} to end")
        except Exception as error:  # one manager's fault must not hide the others'
            failures.append(f"{name}: {type(error).__name__}: {error}")
    assert not failures, "; ".join(failures)


# --- Wayland (sway: data control, no clipboard manager) --------------------------
def sway_copy_close_paste(exe):
    with cleaned_up(exe) as started:
        closed = run_and_close(exe, SWAY)
        assert left(exe), "nothing keeps the value"
        types = desktop.run("wl-paste", "--list-types").stdout.split("\n")
        for mime_type in ("text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"):
            assert mime_type in types, f"{mime_type} not offered: {types}"
            pasted = desktop.run("wl-paste", "--no-newline", "--type", mime_type, check=False, timeout=10)
            assert pasted.stdout == ORANGE, f"as {mime_type}: {pasted.stdout!r} {pasted.stderr!r}"
        pastes_later(closed, wayland_text)
        started.append(wl_copy("another value"))
        nothing_left(exe, "another program copied")
        assert wayland_text() == "another value"


def sway_nothing_copied(exe):
    with cleaned_up(exe):
        run_and_close(exe, SWAY, copy=False)
        nothing_left(exe, "nothing was copied")


# --- Wayland on GNOME (the compositor keeps the value) and KDE (data control) -----
def gnome_copy_close_paste(exe):
    with cleaned_up(exe) as started:
        closed = run_and_close(exe, DESKTOP)
        nothing_left(exe, "mutter keeps the copied value itself")
        pastes_later(closed, wayland_text)
        started.append(wl_copy("another value"))
        assert wayland_text() == "another value"


def kde_copy_close_paste(exe):
    with cleaned_up(exe) as started:
        closed = run_and_close(exe, DESKTOP)
        assert left(exe), "nothing keeps the value"
        pastes_later(closed, wayland_text)
        started.append(wl_copy("another value"))
        nothing_left(exe, "another program copied")
        assert wayland_text() == "another value"


# --- Wayland without data control (weston keeps nothing itself) -----------------
def weston_no_keeper(exe):
    keeper_process, report = clipboard_peers.start_keeper(keeper(exe, "wayland"), "w", ORANGE, seconds=HANG)
    code = keeper_process.wait(timeout=HANG)
    assert (report, code) == (b"n", 0), f"report {report!r}, exit code {code}: a keeper without data control"


def main():
    mode, exe = sys.argv[1], sys.argv[2]
    suites = {"x11": "", "gnome_x11": "GnomeX11", "kde_x11": "KdeX11", "sway": "Sway", "weston": "Weston",
              "gnome": "Gnome", "kde": "Kde"}
    report = desktop.Report("ClipboardAfterClose" + suites[mode], sys.argv[3] if len(sys.argv) > 3 else None)
    if mode in ("x11", "gnome_x11", "kde_x11"):
        report.check("CopyCloseAndPasteOneAndFiveSecondsLaterUntilAnotherProgramCopies", copy_close_paste, exe)
        report.check("NothingLeftWithoutACopyOrAfterATakeoverBeforeTheClose", nothing_copied_or_taken_over, exe)
    if mode == "x11":
        report.check("EachClipboardManagerKeepsTheValueOrTheKeeperDoes", clipboard_managers, exe)
    elif mode == "gnome":
        report.check("CopyCloseAndPasteOneAndFiveSecondsLaterThenAnotherProgramCopies", gnome_copy_close_paste, exe)
    elif mode == "kde":
        report.check("CopyCloseAndPasteOneAndFiveSecondsLaterUntilAnotherProgramCopies", kde_copy_close_paste, exe)
    elif mode == "sway":
        report.check("CopyKillAndPasteOneAndFiveSecondsLaterUntilAnotherProgramCopies", sway_copy_close_paste, exe)
        report.check("NothingLeftWithoutACopy", sway_nothing_copied, exe)
    elif mode == "weston":
        report.check("NoKeeperWhereTheCompositorOffersNoDataControl", weston_no_keeper, exe)
    return report.finish()


if __name__ == "__main__":
    sys.exit(main())
