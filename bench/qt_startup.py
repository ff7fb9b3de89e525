#!/usr/bin/env python3
"""make bench, Qt side: start-up of the Linux desktop program against the
least Qt program with the same widgets and against the bare window, measured
side by side on the same X display; what each start-up step costs; the
shared objects and plugins loaded before the first frame; the instructions
each program runs until then; then the dialog timings, the size and the
libraries.

Start-up is the time from starting the process until its window is mapped
and painted: the separator line under the decimal row is dark and the
window's background beside the channel rows is light (the window starts
black; the bare window has only its background). The bench does not poll
for it: the X server reports each new window (SubstructureNotify on the
root) and each drawing into it (the DAMAGE extension), and the pixels are
read only then, so the bench itself keeps off the CPU the programs start
on. After a warm-up, each round starts the three programs in a rotating
order; a run is ROUNDS rounds, and there are RUNS runs. Each run's ratio is
the median of its rounds' ratios, with a 95% bootstrap interval; the result
is the median run.

Usage: qt_startup.py NATIVE_BUILD_DIR [ROUNDS [RUNS]]   (DISPLAY must be set)
"""
import ctypes
import os
import random
import select
import statistics
import subprocess
import sys
import tempfile
import time

X = ctypes.cdll.LoadLibrary("libX11.so.6")
X.XOpenDisplay.restype = ctypes.c_void_p
X.XOpenDisplay.argtypes = [ctypes.c_char_p]
X.XDefaultRootWindow.restype = ctypes.c_ulong
X.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
X.XFree.argtypes = [ctypes.c_void_p]
X.XGetImage.restype = ctypes.c_void_p
X.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                        ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
X.XGetPixel.restype = ctypes.c_ulong
X.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
X.XDestroyImage.argtypes = [ctypes.c_void_p]
X.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
X.XFlush.argtypes = [ctypes.c_void_p]
X.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
X.XPending.argtypes = [ctypes.c_void_p]
X.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
X.XConnectionNumber.argtypes = [ctypes.c_void_p]
DAMAGE = ctypes.cdll.LoadLibrary("libXdamage.so.1")
DAMAGE.XDamageQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
DAMAGE.XDamageCreate.restype = ctypes.c_ulong
DAMAGE.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
DAMAGE.XDamageSubtract.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]

# A window may go away between two requests: ignore X errors.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
X.XSetErrorHandler(ERROR_HANDLER)

ALL_PLANES, Z_PIXMAP = (1 << 64) - 1, 2
SUBSTRUCTURE_NOTIFY_MASK, CREATE_NOTIFY = 1 << 19, 16
DAMAGE_REPORT_NON_EMPTY = 3
LINE, BACKGROUND = (100, 72), (180, 76)  # pixels at 96 DPI: on Line1; right of the red row


class Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]

    def window(self):
        # The created window of a CreateNotify, the drawable of a DamageNotify:
        # both after type, serial, send_event, display and one more XID.
        return ctypes.c_ulong.from_buffer(self, 40).value if self.type == CREATE_NOTIFY else \
            ctypes.c_ulong.from_buffer(self, 32).value

    def damage(self):
        return ctypes.c_ulong.from_buffer(self, 40).value


def pixel(display, window, point):
    image = X.XGetImage(display, window, point[0], point[1], 1, 1, ALL_PLANES, Z_PIXMAP)
    if not image:
        return None
    value = X.XGetPixel(image, 0, 0)
    X.XDestroyImage(image)
    return (value >> 16) & 255, (value >> 8) & 255, value & 255


def title(display, window):
    name = ctypes.c_char_p()
    if not X.XFetchName(display, window, ctypes.byref(name)) or not name.value:
        return None
    text = name.value.decode(errors="replace")
    X.XFree(name)
    return text


def painted(display, window, with_line=True):
    line, background = pixel(display, window, LINE), pixel(display, window, BACKGROUND)
    if background is None or min(background) <= 160:
        return False
    return not with_line or (line is not None and max(line) < 128)


class Display:
    """The X display as the bench watches it: each new top-level window (the
    root's SubstructureNotify) and each drawing into it (DAMAGE), read only
    when the server reports them."""

    def __init__(self):
        self.display = X.XOpenDisplay(None)
        if not self.display:
            sys.exit("qt_startup: cannot open the X display")
        base, error = ctypes.c_int(), ctypes.c_int()
        if not DAMAGE.XDamageQueryExtension(self.display, ctypes.byref(base), ctypes.byref(error)):
            sys.exit("qt_startup: the X server has no DAMAGE extension")
        self.damage_notify = base.value  # XDamageNotify is the extension's first event
        X.XSelectInput(self.display, X.XDefaultRootWindow(self.display), SUBSTRUCTURE_NOTIFY_MASK)
        X.XSync(self.display, 0)
        self.fd = X.XConnectionNumber(self.display)

    def forget(self):
        """Drops what was reported of the windows before: they are gone."""
        X.XSync(self.display, 0)
        event = Event()
        while X.XPending(self.display):
            X.XNextEvent(self.display, ctypes.byref(event))

    def painted_window(self, name, with_line, deadline):
        """The window titled `name` once it is painted; None at the deadline."""
        windows, event = set(), Event()

        def ready(window):
            return title(self.display, window) == name and painted(self.display, window, with_line)

        while True:
            while X.XPending(self.display):
                X.XNextEvent(self.display, ctypes.byref(event))
                if event.type == CREATE_NOTIFY:
                    window = event.window()
                    windows.add(window)
                    DAMAGE.XDamageCreate(self.display, window, DAMAGE_REPORT_NON_EMPTY)
                    X.XFlush(self.display)
                elif event.type == self.damage_notify:
                    window = event.window()
                    DAMAGE.XDamageSubtract(self.display, event.damage(), 0, 0)
                else:
                    continue
                if ready(window):
                    return window
            left = deadline - time.perf_counter()
            if left <= 0:
                return None
            if not select.select([self.fd], [], [], min(left, 0.05))[0]:
                # Quiet for 50 ms: a window drawn before its damage was
                # watched reports nothing, so look at each once.
                for window in windows:
                    if ready(window):
                        return window


def loaded_objects(pid):
    """The shared objects mapped into process pid, and which are Qt plugins."""
    try:
        with open(f"/proc/{pid}/maps") as maps:
            files = {line.split()[-1] for line in maps if ".so" in line.split()[-1]}
    except OSError:
        return set(), set()
    return files, {f.split("/plugins/", 1)[1] for f in files if "/plugins/" in f}


class Program:
    def __init__(self, name, command, title, with_line=True):
        self.name, self.command, self.title, self.with_line = name, command, title, with_line
        self.objects, self.plugins = set(), set()

    def start_up(self, display):
        """Milliseconds from starting the program until its window is painted,
        and the CPU time the process took (all its threads, from its start
        until it was stopped right after that frame)."""
        display.forget()
        begin = time.perf_counter()
        process = subprocess.Popen(self.command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = None
        try:
            if display.painted_window(self.title, self.with_line, begin + 20) is None:
                raise RuntimeError(f"{self.name}: no painted window within 20 s")
            elapsed = (time.perf_counter() - begin) * 1000
            self.objects, self.plugins = loaded_objects(process.pid)
        finally:
            process.terminate()
            _, status, usage = os.wait4(process.pid, 0)
            process.returncode = os.waitstatus_to_exitcode(status)
        return elapsed, (usage.ru_utime + usage.ru_stime) * 1000


def ratio_run(display, ours, others, rounds, rng, measure=0):
    """One run: the rounds' times, each round in a rotating order. measure 0
    is the time to the painted window, 1 the CPU time it took."""
    programs = [ours, *others]
    times = {p.name: [] for p in programs}
    for i in range(rounds):
        order = programs[i % len(programs):] + programs[:i % len(programs)]
        for program in order:
            times[program.name].append(program.start_up(display))
    medians, result = {}, {}
    for kind in (0, 1):
        medians[kind] = {name: statistics.median(t[kind] for t in ts) for name, ts in times.items()}
        result[kind] = {}
        for other in others:
            ratios = [a[kind] / b[kind] for a, b in zip(times[ours.name], times[other.name])]
            boot = sorted(statistics.median(rng.choices(ratios, k=len(ratios))) for _ in range(2000))
            result[kind][other.name] = (statistics.median(ratios), boot[50], boot[1949])
    return medians, result


def steps(build, runs=9):
    """Each start-up step's median cost over runs of qt_startup_steps."""
    costs = {}
    for _ in range(runs):
        out = subprocess.run([os.path.join(build, "qt_startup_steps")], capture_output=True, text=True,
                             timeout=60, check=True).stdout
        for line in out.splitlines():
            name, ms = line.rsplit("\t", 1)
            costs.setdefault(name, []).append(float(ms))
    return {name: statistics.median(values) for name, values in costs.items()}


# What main's callees are, in the instruction profile.
PARTS = (("QApplication::QApplication(", "QApplication"), ("QWidget::show(", "show()"),
         ("QApplication::exec(", "the event loop until the frame"))
WINDOW = "building the window (widgets, fonts, icon, hints)"
OUTSIDE = "outside main (loading the libraries; the X event reader)"
FONTCONFIG = "fontconfig reading its configuration (FcInit)"


def instruction_profile(program, display, folder):
    """The instructions program runs until its first frame, counted by
    callgrind (the same from run to run within a few tenths of a per cent,
    whatever else the machine does): in all, outside main (loading and
    binding the libraries; Qt's X event reader), and in each of main's
    parts."""
    out = os.path.join(folder, program.name.replace(" ", "_"))
    display.forget()
    process = subprocess.Popen(["valgrind", "--tool=callgrind", "--dump-instr=no", f"--callgrind-out-file={out}",
                                *program.command], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if display.painted_window(program.title, program.with_line, time.perf_counter() + 300) is None:
            raise RuntimeError(f"{program.name}: no painted window within 300 s under callgrind")
        subprocess.run(["callgrind_control", "--dump", str(process.pid)], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=True)
    finally:
        process.terminate()
        try:
            process.wait(60)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    tree = subprocess.run(["callgrind_annotate", "--inclusive=yes", "--tree=calling", out + ".1"],
                          capture_output=True, text=True, check=True).stdout
    total = int(next(line for line in tree.splitlines() if "PROGRAM TOTALS" in line).split()[0].replace(",", ""))
    lines = tree.splitlines()
    first = next(i for i, line in enumerate(lines) if "*  ???:main [" in line)
    end = next((i for i in range(first, len(lines)) if not lines[i].strip()), len(lines))
    block = lines[first:end]
    in_main = int(block[0].split()[0].replace(",", ""))
    parts, children = {OUTSIDE: total - in_main}, 0
    for line in block[1:]:
        count = int(line.split()[0].replace(",", ""))
        name = next((part for key, part in PARTS if key in line), WINDOW)
        parts[name] = parts.get(name, 0) + count
        children += count
    parts[WINDOW] = parts.get(WINDOW, 0) + in_main - children  # main's own instructions
    # Fontconfig reading its configuration, wherever it ran: at the first
    # widget's text (inside building the window), or on a thread of its own.
    callers = subprocess.run(["callgrind_annotate", "--inclusive=yes", "--tree=caller", out + ".1"],
                             capture_output=True, text=True, check=True).stdout.split("\n\n")
    block = next((b for b in callers if "*  ???:FcInit [" in b), "")
    for line in block.splitlines():
        if line.lstrip()[:1].isdigit() and "<" in line:
            count = int(line.split()[0].replace(",", ""))
            parts[FONTCONFIG] = parts.get(FONTCONFIG, 0) + count
            parts[WINDOW if "QFontconfigDatabase" in line else OUTSIDE] -= count
    return total, parts


def needed_libraries(path):
    out = subprocess.run(["readelf", "-d", path], capture_output=True, text=True).stdout
    return [line.split("[")[1].rstrip("]") for line in out.splitlines() if "(NEEDED)" in line]


def main():
    build = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    os.environ["QT_QPA_PLATFORM"] = "xcb"
    display = Display()
    ours = Program("quillantern", [os.path.join(build, "quillantern")], "Quillantern")
    baseline = Program("same widgets", [os.path.join(build, "qt_baseline")], "Quillantern baseline")
    bare = Program("bare window", [os.path.join(build, "qt_bare_window")], "Quillantern bare window",
                   with_line=False)
    for _ in range(3):
        for program in (ours, baseline, bare):
            program.start_up(display)
    rng = random.Random(1)
    print(f"Qt start-up to a shown, painted window ({runs} runs of {rounds} rounds, rotating order; "
          f"load average {os.getloadavg()[0]:.2f} at the start):")
    results = []
    for run in range(runs):
        medians, ratios = ratio_run(display, ours, [baseline, bare], rounds, rng)
        results.append(ratios)
        for kind, what in ((0, "to the painted window"), (1, "CPU time for it")):
            print(f"  run {run + 1}, {what}: " +
                  ", ".join(f"{name} {ms:.1f} ms" for name, ms in medians[kind].items()) + "; " +
                  "; ".join(f"ratio to {name} {r:.3f} ({low:.3f} .. {high:.3f})"
                            for name, (r, low, high) in ratios[kind].items()))
    for kind, what in ((0, "time to the painted window"), (1, "CPU time for it")):
        for other in (baseline, bare):
            middle = sorted(results, key=lambda r: r[kind][other.name][0])[len(results) // 2][kind][other.name]
            print(f"  {what}, quillantern / {other.name}: median run {middle[0]:.3f} "
                  f"(95% CI {middle[1]:.3f} .. {middle[2]:.3f})" +
                  ("; budget 1.05" if other is baseline and kind == 0 else ""))
    print(f"  load average {os.getloadavg()[0]:.2f} at the end")
    for program in (ours, baseline, bare):
        plugins = " ".join(sorted(program.plugins)) or "none"
        print(f"  before the first frame, {program.name}: {len(program.objects)} shared objects, "
              f"{len(program.plugins)} Qt plugins ({plugins})")
    print("Instructions until the first frame (callgrind, one run each), in millions:")
    with tempfile.TemporaryDirectory() as folder:
        profiles = {program.name: instruction_profile(program, display, folder) for program in (ours, baseline, bare)}
    names = list(profiles)
    print(f"  {'':58}" + "".join(f"{name:>14}" for name in names))
    print(f"  {'in all':58}" + "".join(f"{profiles[n][0] / 1e6:14.2f}" for n in names) +
          f"   quillantern / same widgets {profiles['quillantern'][0] / profiles['same widgets'][0]:.3f}")
    for part in (OUTSIDE, FONTCONFIG, "QApplication", WINDOW, "show()", "the event loop until the frame"):
        print(f"  {part:58}" + "".join(f"{profiles[n][1].get(part, 0) / 1e6:14.2f}" for n in names))
    print("Start-up steps (median of 9 runs of qt_startup_steps, one process each):")
    for name, ms in steps(build).items():
        print(f"  {ms:7.3f} ms  {name}")
    sys.stdout.flush()
    subprocess.run([os.path.join(build, "qt_dialog_timing"), "20"], check=True, stderr=subprocess.DEVNULL)
    binary = os.path.join(build, "quillantern")
    print(f"quillantern: {os.path.getsize(binary)} bytes ({os.path.getsize(binary) / 1024:.1f} KB), "
          f"shared libraries: {' '.join(needed_libraries(binary))}")


if __name__ == "__main__":
    main()
