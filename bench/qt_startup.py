#!/usr/bin/env python3
"""make bench, Qt side: start-up of the Linux desktop program against a
minimal Qt program with the same widgets, measured side by side on the
same X display; then the dialog timings, the size and the libraries.

Start-up is the time from starting the process until its window is mapped
and painted: the separator line under the decimal row is dark and the
window's background beside the channel rows is light (the window starts
black). Rounds alternate between the two programs after a warm-up.

Usage: qt_startup.py NATIVE_BUILD_DIR [ROUNDS]   (DISPLAY must be set)
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


def painted(display, window):
    line, background = pixel(display, window, LINE), pixel(display, window, BACKGROUND)
    return line is not None and background is not None and max(line) < 128 and min(background) > 160


def start_up(display, command, title):
    """Milliseconds from starting command until its window is painted."""
    begin = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = begin + 20
        while time.perf_counter() < deadline:
            window = named(display, title)
            if window and painted(display, window):
                return (time.perf_counter() - begin) * 1000
            time.sleep(0.001)
        raise RuntimeError(f"{command[0]}: no painted window within 20 s")
    finally:
        process.terminate()
        process.wait(10)
        X.XSync(display, 0)


def needed_libraries(path):
    out = subprocess.run(["readelf", "-d", path], capture_output=True, text=True).stdout
    return [line.split("[")[1].rstrip("]") for line in out.splitlines() if "(NEEDED)" in line]


def main():
    build, rounds = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 40
    os.environ["QT_QPA_PLATFORM"] = "xcb"
    display = X.XOpenDisplay(None)
    if not display:
        sys.exit("qt_startup: cannot open the X display")
    program = ([os.path.join(build, "quillantern")], "Quillantern")
    baseline = ([os.path.join(build, "qt_baseline")], "Quillantern baseline")
    for _ in range(3):
        start_up(display, *program)
        start_up(display, *baseline)
    ours, theirs = [], []
    for i in range(rounds):
        pair = [(ours, program), (theirs, baseline)]
        for times, (command, title) in (pair if i % 2 == 0 else reversed(pair)):
            times.append(start_up(display, command, title))
    ratios = [a / b for a, b in zip(ours, theirs)]
    rng = random.Random(1)
    medians = sorted(statistics.median(rng.choices(ratios, k=len(ratios))) for _ in range(2000))
    print(f"Qt start-up to a shown, painted window ({rounds} rounds, alternating):")
    print(f"  quillantern median {statistics.median(ours):.1f} ms, "
          f"baseline median {statistics.median(theirs):.1f} ms")
    print(f"  ratio median {statistics.median(ratios):.3f} (95% CI {medians[50]:.3f} .. {medians[1949]:.3f}); "
          f"budget 1.10")
    sys.stdout.flush()
    subprocess.run([os.path.join(build, "qt_dialog_timing"), "20"], check=True, stderr=subprocess.DEVNULL)
    binary = os.path.join(build, "quillantern")
    print(f"quillantern: {os.path.getsize(binary)} bytes ({os.path.getsize(binary) / 1024:.1f} KB), "
          f"shared libraries: {' '.join(needed_libraries(binary))}")


if __name__ == "__main__":
    main()
