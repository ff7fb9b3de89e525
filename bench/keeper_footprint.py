"""make bench: the clipboard keeper beside the tools people keep a copied
text with, serving the same text on the same display, and the program's
own time budget at the close. Measured, never asserted.

  tools/desktop-run.sh --wm openbox /usr/bin/python3 bench/keeper_footprint.py x11 BUILD_DIR [ROUNDS]
  tools/desktop-run.sh --sway /usr/bin/python3 bench/keeper_footprint.py wayland BUILD_DIR

x11: quillantern-clipboard-x11 beside `xclip -i`, then the close timed ROUNDS
times (pick, copy, close through the window manager): until the program
ends, and, with a clipboard manager that saves the value, until nothing of
it is left. wayland (sway, data control): quillantern-clipboard-wayland beside `wl-copy`.
"""
import os
import statistics
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "desktop"))

TEXT = "33023"
HANG = 30  # seconds: a bound against a hang only


def memory(pid):
    """(resident, private dirty) in kB, from /proc/PID/smaps_rollup."""
    values = {}
    with open(f"/proc/{pid}/smaps_rollup") as rollup:
        for line in rollup:
            fields = line.split()
            if len(fields) >= 2 and fields[0].endswith(":") and fields[1].isdigit():
                values[fields[0][:-1]] = int(fields[1])
    return values["Rss"], values["Private_Dirty"]


def wait_for(predicate, what):
    deadline = time.monotonic() + HANG
    while not predicate():
        if time.monotonic() > deadline:
            raise SystemExit(f"keeper_footprint: {what}: not within {HANG} s")
        time.sleep(0.05)


def paste(command):
    result = subprocess.run(command, capture_output=True, text=True, timeout=HANG)
    return result.stdout if result.returncode == 0 else None


def start_keeper(helper, kind, owner=0):
    """The helper, once it reports that it keeps the text."""
    import clipboard_peers
    # A file written moments ago (a helper just linked) is dirty in the page
    # cache, and its pages would count as the process's private dirty memory
    # until the kernel writes them back: written back first.
    os.sync()
    keeper, report = clipboard_peers.start_keeper(helper, kind, TEXT, owner, HANG)
    if report != b"k":
        keeper.kill()
        raise SystemExit(f"keeper_footprint: the keeper reported {report!r}, not that it keeps the text")
    return keeper


def row(name, pid):
    resident, dirty = memory(pid)
    print(f"  {name:<30} {resident:6,} kB resident  {dirty:4} kB private dirty")


def stop(*processes):
    for process in processes:
        process.terminate()
        process.wait(timeout=HANG)


def x11(build, rounds):
    from Xlib import X, display as xdisplay
    d = xdisplay.Display()
    clipboard = d.intern_atom("CLIPBOARD")
    window = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    window.set_selection_owner(clipboard, X.CurrentTime)
    d.sync()
    xclip_out = ["xclip", "-selection", "clipboard", "-o"]
    keeper = start_keeper(os.path.join(build, "quillantern-clipboard-x11"), "x", window.id)
    wait_for(lambda: paste(xclip_out) == TEXT, "a paste from the keeper")
    xclip = None
    try:
        print(f"The copied value kept on X11 ({TEXT!r}, after one paste):")
        row(os.path.basename(keeper.args[0]), keeper.pid)
        xclip = subprocess.Popen(["xclip", "-selection", "clipboard", "-i", "-quiet"], stdin=subprocess.PIPE,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        xclip.stdin.write(TEXT.encode())
        xclip.stdin.close()
        keeper.wait(timeout=HANG)  # it ends once xclip owns CLIPBOARD
        wait_for(lambda: paste(xclip_out) == TEXT, "a paste from xclip")
        row("xclip -i", xclip.pid)
    finally:
        stop(*(p for p in (keeper, xclip) if p and p.poll() is None))
    close_times(os.path.join(build, "quillantern"), rounds)


def close_times(exe, rounds):
    import clipboard_peers
    import clipboard_test
    import desktop

    def one_close(manager_saves):
        with desktop.Program(exe, env={"QT_QPA_PLATFORM": "xcb"}) as program:
            program.window()
            program.pick(255, 128, 0)
            program.copy()
            desktop.wait_for(lambda: desktop.clipboard_text() == TEXT, HANG, "the copy")
            desktop.close_through_wm(desktop.x11_window(program.pid))
            closed = time.monotonic()
            program.wait_exit(HANG)
            ended = time.monotonic() - closed
        gone = None
        if manager_saves:
            desktop.wait_for(lambda: not clipboard_test.left(exe), HANG, "the keeper to end")
            gone = time.monotonic() - closed
        clipboard_peers.stop(clipboard_test.left(exe))
        return ended, gone

    alone = [one_close(False)[0] for _ in range(rounds)]
    manager = clipboard_peers.Manager("reference")
    try:
        saved = [one_close(True) for _ in range(rounds)]
    finally:
        manager.stop()
    ms = lambda values: f"median {statistics.median(values) * 1000:5.0f} ms, max {max(values) * 1000:5.0f} ms"
    print(f"The close, {rounds} rounds (pick, copy, close through openbox):")
    print(f"  until the program ends, no manager:        {ms(alone)}")
    print(f"  until the program ends, a manager saves:   {ms([s[0] for s in saved])}")
    print(f"  until nothing is left, a manager saves:    {ms([s[1] for s in saved])}")


def wayland(build):
    wl_paste = ["wl-paste", "--no-newline"]
    keeper = start_keeper(os.path.join(build, "quillantern-clipboard-wayland"), "w")
    wl_copy = None
    try:
        wait_for(lambda: paste(wl_paste) == TEXT, "a paste from the keeper")
        print(f"The copied value kept on Wayland (sway, {TEXT!r}, after one paste):")
        row(os.path.basename(keeper.args[0]), keeper.pid)
        wl_copy = subprocess.Popen(["wl-copy", "--foreground", TEXT], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        keeper.wait(timeout=HANG)  # it ends once wl-copy sets the selection
        wait_for(lambda: paste(wl_paste) == TEXT, "a paste from wl-copy")
        row("wl-copy", wl_copy.pid)
    finally:
        stop(*(p for p in (keeper, wl_copy) if p and p.poll() is None))


if __name__ == "__main__":
    if sys.argv[1] == "x11":
        x11(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 5)
    else:
        wayland(sys.argv[2])
