"""Other clients of the X11 clipboard, for the desktop tests: the program's
processes as /proc shows them, and two small fake clipboard managers.

  /usr/bin/python3 clipboard_peers.py manager reference|silent

`reference` does what freedesktop.org's ClipboardManager protocol describes and
settings daemons do: asked to SAVE_TARGETS, it reads TARGETS, then every text target
at once with MULTIPLE, takes CLIPBOARD and serves what it saved, then says
it has saved. `silent` owns CLIPBOARD_MANAGER and never answers anything.
Each prints "ready" once it owns CLIPBOARD_MANAGER.
"""
import os
import subprocess
import sys


def processes(*exes):
    """Pids of live processes of any of `exes` on this test's display
    (whatever their parent now is); zombies count as ended."""
    wanted = {os.path.realpath(exe) for exe in exes}
    display = os.environ["DISPLAY"].encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.path.realpath(f"/proc/{entry}/exe") not in wanted:
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


def start_keeper(helper, kind, text, owner=0, seconds=30):
    """A keeper (quillantern-clipboard-x11 or -wayland) started as the program starts it, the hand-off
    ("x" for X11 from the window `owner`, "w" for Wayland) on descriptor 3.
    Returns the process and its one-byte report."""
    import socket
    ours, theirs = socket.socketpair()
    fd = theirs.fileno()
    keeper = subprocess.Popen([helper], pass_fds=(3, fd), preexec_fn=lambda: os.dup2(fd, 3),
                              stdin=subprocess.DEVNULL, start_new_session=True)
    theirs.close()
    with ours:
        ours.sendall(f"{kind}{owner:08x}\n\n{text}".encode())
        ours.shutdown(socket.SHUT_WR)
        ours.settimeout(seconds)
        return keeper, ours.recv(1)


class Manager:
    """A fake manager (see above) run as its own process, stopped by its pid."""

    def __init__(self, kind):
        self.process = subprocess.Popen([sys.executable, __file__, "manager", kind], stdout=subprocess.PIPE,
                                        text=True)
        line = self.process.stdout.readline()  # ends with the process, if it fails
        if line.strip() != "ready":
            self.stop()
            raise AssertionError(f"the {kind} clipboard manager did not start")

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(timeout=10)


def run_manager(kind):
    from Xlib import X, Xatom, display as xdisplay
    from Xlib.protocol import event as xevent

    d = xdisplay.Display()
    d.set_error_handler(lambda *error: None)  # a requestor may be gone before its answer
    atom = d.intern_atom
    window = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent, event_mask=X.PropertyChangeMask)
    manager, clipboard = atom("CLIPBOARD_MANAGER"), atom("CLIPBOARD")
    targets, multiple, save = atom("TARGETS"), atom("MULTIPLE"), atom("SAVE_TARGETS")
    atom_pair, timestamp = atom("ATOM_PAIR"), atom("TIMESTAMP")
    window.set_selection_owner(manager, X.CurrentTime)
    d.sync()
    assert d.get_selection_owner(manager) == window
    print("ready", flush=True)
    if kind == "silent":
        while True:
            d.next_event()  # read, never answered

    saved = {}  # target -> (type, format, data)

    def fetch(target, prop, pairs=None):
        if pairs is not None:
            window.change_property(prop, atom_pair, 32, pairs)
        window.convert_selection(clipboard, target, prop, X.CurrentTime)
        d.flush()
        while True:
            e = d.next_event()
            if e.type == X.SelectionNotify and e.target == target:
                return window.get_full_property(prop, X.AnyPropertyType) if e.property else None
            if e.type == X.SelectionRequest:
                refuse(e)

    def reply(e, prop):
        e.requestor.send_event(xevent.SelectionNotify(time=e.time, requestor=e.requestor, selection=e.selection,
                                                      target=e.target, property=prop))
        d.flush()

    def refuse(e):
        reply(e, X.NONE)

    while True:
        e = d.next_event()
        if e.type != X.SelectionRequest:
            continue
        if e.selection == manager and e.target == save:
            offered = fetch(targets, atom("_SAVED_TARGETS"))
            wanted = [t for t in (offered.value if offered else []) if t not in (targets, multiple, timestamp, save)]
            pairs = []
            for i, target in enumerate(wanted):
                pairs += [target, atom(f"_SAVED_{i}")]
            answer = fetch(multiple, atom("_SAVED_PAIRS"), pairs)
            if answer:
                for target, prop in zip(answer.value[0::2], answer.value[1::2]):
                    if prop != X.NONE:
                        got = window.get_full_property(prop, X.AnyPropertyType)
                        saved[target] = (got.property_type, got.format, got.value)
            if saved:
                window.set_selection_owner(clipboard, X.CurrentTime)
                d.flush()
            reply(e, e.property if saved else X.NONE)
        elif e.selection == clipboard and saved and e.target == targets:
            e.requestor.change_property(e.property, Xatom.ATOM, 32, [targets, *saved])
            reply(e, e.property)
        elif e.selection == clipboard and e.target in saved:
            kind_, form, value = saved[e.target]
            e.requestor.change_property(e.property, kind_, form, value)
            reply(e, e.property)
        else:
            refuse(e)


if __name__ == "__main__":
    if sys.argv[1:2] == ["manager"]:
        run_manager(sys.argv[2])
