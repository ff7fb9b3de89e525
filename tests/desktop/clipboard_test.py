"""The copied value outlives the window, as a user meets it on X11: pick
orange, copy, close the window through the window manager, paste elsewhere
with xclip. The program itself ends at once; whatever keeps the value ends
as soon as another client owns the clipboard, or, where a clipboard manager
runs, within a second.

  tools/desktop-run.sh --wm openbox /usr/bin/python3 tests/desktop/clipboard_test.py EXE [REPORT.xml]
"""
import contextlib
import os
import subprocess
import sys
import time

import desktop

ORANGE = "33023"


def program_processes(exe):
    """Pids of live processes of `exe` on this test's display (a keeper
    included, whatever its parent now is); zombies count as ended."""
    exe = os.path.realpath(exe)
    display = os.environ["DISPLAY"].encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.path.realpath(f"/proc/{entry}/exe") != exe:
                continue
            with open(f"/proc/{entry}/stat", "rb") as stat:
                if stat.read().rsplit(b")", 1)[1].split()[0] == b"Z":
                    continue
            with open(f"/proc/{entry}/environ", "rb") as environ:
                if b"DISPLAY=" + display not in environ.read().split(b"\0"):
                    continue
        except OSError:
            continue  # ended meanwhile
        found.append(int(entry))
    return found


def stop(pids):
    for pid in pids:
        try:
            os.kill(pid, 15)
        except ProcessLookupError:
            pass


def take_clipboard(text):
    """Another program copies: xclip owns CLIPBOARD in the foreground until
    it loses it (stopped by its pid at the end)."""
    taker = subprocess.Popen(["xclip", "-selection", "clipboard", "-i", "-quiet"], stdin=subprocess.PIPE,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    taker.stdin.write(text.encode())
    taker.stdin.close()
    desktop.wait_for(lambda: desktop.clipboard_text() == text, 5, f"xclip to own the clipboard with {text!r}")
    return taker


def nothing_left(exe, seconds=1.0):
    """No process of the program is left, at the latest `seconds` from now."""
    desktop.wait_for(lambda: not program_processes(exe), seconds, "every process of the program to end")


def run_and_close(exe, copy=True, before_close=None):
    """Picks orange, copies (or not), closes through the window manager;
    checks that the program ends at once with 0. Returns the close time."""
    with desktop.Program(exe) as program:
        program.window()
        program.pick(255, 128, 0)
        if copy:
            program.copy()
            desktop.wait_for(lambda: desktop.clipboard_text() == ORANGE, 5, "the copy")
        if before_close:
            before_close()
        desktop.close_through_wm(desktop.x11_window(program.pid))
        closed = time.monotonic()
        code = program.wait_exit(1.0)
        assert code == 0, f"exit code {code!r} within a second of the close; output: {program.output()!r}"
        return closed


@contextlib.contextmanager
def cleaned_up(exe):
    """Yields a list for the clipboard takers a case starts; at the end
    stops them and whatever of the program is left, by pid."""
    takers = []
    try:
        yield takers
    finally:
        stop(program_processes(exe))
        for taker in takers:
            taker.terminate()
            taker.wait(timeout=5)


def until(moment):
    time.sleep(max(0.0, moment - time.monotonic()))


def copy_close_paste(exe):
    with cleaned_up(exe) as takers:
        closed = run_and_close(exe)
        assert "Quillantern" not in desktop.run("wmctrl", "-l").stdout, "a window is left"
        assert program_processes(exe), "nothing keeps the value"
        targets = desktop.run("xclip", "-selection", "clipboard", "-t", "TARGETS", "-o").stdout.split()
        for target in ("UTF8_STRING", "STRING", "TEXT", "text/plain", "text/plain;charset=utf-8"):
            assert target in targets, f"{target} not offered: {targets}"
            pasted = desktop.run("xclip", "-selection", "clipboard", "-t", target, "-o", check=False, timeout=5)
            assert pasted.stdout == ORANGE, f"as {target}: {pasted.stdout!r} {pasted.stderr!r}"
        refused = desktop.run("xclip", "-selection", "clipboard", "-t", "image/png", "-o", check=False, timeout=5)
        assert refused.returncode != 0 and not refused.stdout, "a target never offered was answered"
        for after in (1, 5):
            until(closed + after)
            assert desktop.clipboard_text() == ORANGE, f"{after} s after the close: {desktop.clipboard_text()!r}"
        takers.append(take_clipboard("another value"))
        nothing_left(exe)
        assert desktop.clipboard_text() == "another value"


def nothing_copied_or_taken_over(exe):
    with cleaned_up(exe) as takers:
        run_and_close(exe, copy=False)
        nothing_left(exe)
        run_and_close(exe, before_close=lambda: takers.append(take_clipboard("taken before the close")))
        nothing_left(exe)
        assert desktop.clipboard_text() == "taken before the close"


def clipboard_manager_keeps_it(exe):
    manager = subprocess.Popen(["xfce4-clipman"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        desktop.wait_for(lambda: desktop.selection_owner("CLIPBOARD_MANAGER"), 20,
                         "xfce4-clipman to own CLIPBOARD_MANAGER")
        closed = run_and_close(exe)
        until(closed + 1)
        assert not program_processes(exe), "a process of the program is left a second after the close"
        assert desktop.clipboard_text() == ORANGE, f"after the close: {desktop.clipboard_text()!r}"
    finally:
        stop(program_processes(exe))
        manager.terminate()
        try:
            manager.wait(timeout=5)
        except subprocess.TimeoutExpired:
            manager.kill()
            manager.wait(timeout=5)


def main():
    exe = sys.argv[1]
    report = desktop.Report("ClipboardAfterClose")
    report.check("CopyCloseAndPasteOneAndFiveSecondsLaterUntilAnotherProgramCopies", copy_close_paste, exe)
    report.check("NothingLeftWithoutACopyOrAfterATakeoverBeforeTheClose", nothing_copied_or_taken_over, exe)
    report.check("ClipboardManagerKeepsTheValueAndNothingIsLeftAfterASecond", clipboard_manager_keeps_it, exe)
    return report.finish(sys.argv[2] if len(sys.argv) > 2 else None)


if __name__ == "__main__":
    sys.exit(main())
