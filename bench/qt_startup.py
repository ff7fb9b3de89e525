#!/usr/bin/env python3
"""make bench, Qt side: start-up of the Linux desktop program against the
least Qt program with the same widgets and against the bare window, measured
side by side on the same X display; what each start-up step costs; the
shared objects and plugins loaded before the first frame; then the dialog
timings, the size and the libraries.

Start-up is the time from starting the process until its window is mapped
and painted: the separator line under the decimal row is dark and the
window's background beside the channel rows is light (the window starts
black; the bare window has only its background). After a warm-up, each
round starts the three programs in a rotating order; a run is ROUNDS rounds,
and there are RUNS runs. Each run's ratio is the median of its rounds'
ratios, with a 95% bootstrap interval; the result is the median run.

Usage: qt_startup.py NATIVE_BUILD_DIR [ROUNDS [RUNS]]   (DISPLAY must be set)
"""
import ctypes
import os
import random
import statistics
import subprocess
import sys
import time

X = ctypes.cdll.LoadLibrary("libX11.so.6")
X.XOpenDisplay.restype = ctypes.c_void_p
X.XOpenDisplay.argtypes = [ctypes.c_char_p]
X.XDefaultRootWindow.restype = ctypes.c_ulong
X.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 4
X.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
X.XFree.argtypes = [ctypes.c_void_p]
X.XGetImage.restype = ctypes.c_void_p
X.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                        ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
X.XGetPixel.restype = ctypes.c_ulong
X.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
X.XDestroyImage.argtypes = [ctypes.c_void_p]
X.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]

# A window may go away between two requests: ignore X errors.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
X.XSetErrorHandler(ERROR_HANDLER)

ALL_PLANES, Z_PIXMAP = (1 << 64) - 1, 2
LINE, BACKGROUND = (100, 72), (180, 76)  # pixels at 96 DPI: on Line1; right of the red row


def top_windows(display):
    root, parent = ctypes.c_ulong(), ctypes.c_ulong()
    children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    if not X.XQueryTree(display, X.XDefaultRootWindow(display), ctypes.byref(root), ctypes.byref(parent),
                        ctypes.byref(children), ctypes.byref(count)):
        return []
    found = [children[i] for i in range(count.value)]
    if children:
        X.XFree(children)
    return found


def named(display, title):
    for window in top_windows(display):
        name = ctypes.c_char_p()
        if X.XFetchName(display, window, ctypes.byref(name)) and name.value:
            match = name.value.decode(errors="replace") == title
            X.XFree(name)
            if match:
                return window
    return None


def pixel(display, window, point):
    image = X.XGetImage(display, window, point[0], point[1], 1, 1, ALL_PLANES, Z_PIXMAP)
    if not image:
        return None
    value = X.XGetPixel(image, 0, 0)
    X.XDestroyImage(image)
    return (value >> 16) & 255, (value >> 8) & 255, value & 255


def painted(display, window, with_line=True):
    line, background = pixel(display, window, LINE), pixel(display, window, BACKGROUND)
    if background is None or min(background) <= 160:
        return False
    return not with_line or (line is not None and max(line) < 128)


def loaded_objects(pid):
    """The shared objects mapped into process pid, and which are Qt plugins."""
    try:
        with open(f"/proc/{pid}/maps") as maps:
            files = {line.split()[-1] for line in maps if ".so" in line.split()[-1]}
    except OSError:
        return set(), set()
    return files, {f.split("/plugins/", 1)[1] for f in files if "/plugins/" in f}


def cpu_ms(pid):
    """Milliseconds all of process pid's threads have run on a CPU so far."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as stat:
                total += int(stat.read().split()[0])
        except OSError:
            pass
    return total / 1e6


class Program:
    def __init__(self, name, command, title, with_line=True):
        self.name, self.command, self.title, self.with_line = name, command, title, with_line
        self.objects, self.plugins = set(), set()

    def start_up(self, display):
        """Milliseconds from starting the program until its window is painted,
        and the CPU time it took for that."""
        begin = time.perf_counter()
        process = subprocess.Popen(self.command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = begin + 20
            while time.perf_counter() < deadline:
                window = named(display, self.title)
                if window and painted(display, window, self.with_line):
                    elapsed = (time.perf_counter() - begin) * 1000
                    cpu = cpu_ms(process.pid)
                    self.objects, self.plugins = loaded_objects(process.pid)
                    return elapsed, cpu
                time.sleep(0.001)
            raise RuntimeError(f"{self.name}: no painted window within 20 s")
        finally:
            process.terminate()
            process.wait(10)
            X.XSync(display, 0)


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


def needed_libraries(path):
    out = subprocess.run(["readelf", "-d", path], capture_output=True, text=True).stdout
    return [line.split("[")[1].rstrip("]") for line in out.splitlines() if "(NEEDED)" in line]


def main():
    build = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    os.environ["QT_QPA_PLATFORM"] = "xcb"
    display = X.XOpenDisplay(None)
    if not display:
        sys.exit("qt_startup: cannot open the X display")
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
                  f"(95% CI {middle[1]:.3f} .. {middle[2]:.3f})" + ("; budget 1.05" if other is baseline else ""))
    print(f"  load average {os.getloadavg()[0]:.2f} at the end")
    for program in (ours, baseline, bare):
        plugins = " ".join(sorted(program.plugins)) or "none"
        print(f"  before the first frame, {program.name}: {len(program.objects)} shared objects, "
              f"{len(program.plugins)} Qt plugins ({plugins})")
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
