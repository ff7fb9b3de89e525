"""The Linux window on real desktops, driven as people drive it: under real
X11 window managers (openbox, xfwm4), under real Wayland compositors
(weston, and sway, which tiles) and with no display at all.

    window_test.py x11|wayland|sway|nodisplay PROGRAM [REPORT.xml]

x11, wayland and sway run inside tools/desktop-run.sh (--wm openbox|xfwm4 /
--weston / --sway).
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop as d  # noqa: E402
import pyatspi  # noqa: E402

ORANGE = ["33023", "255", "128", "0", "FF8000"]
FIXED = (320, 184)  # the client area at 96 DPI


def pick_and_copy_work(program, read_clipboard):
    program.pick(255, 128, 0)
    assert program.texts() == ORANGE, program.texts()
    program.copy()
    d.wait_for(lambda: read_clipboard() == "33023", d.BOUND, "the copied value on the clipboard")
    program.pick(0, 0, 255)
    assert program.texts() == ["16711680", "0", "0", "255", "0000FF"], program.texts()


# --- X11, under a window manager -------------------------------------------------
def x11(exe, report):
    with d.Program(exe, report=report) as program:
        xid = d.x11_window(program.pid)

        def named_frame():
            window = program.window()
            assert (window.getRoleName(), window.name) == ("frame", "Quillantern"), window.getRoleName()
            names = [program.find(window, "text", n).name for n in ("Zecimal:", "Red:", "Hexa (HTML):")]
            assert names == ["Zecimal:", "Red:", "Hexa (HTML):"]
        report.check("ScreenReadersHearAFrameNamedQuillantern", named_frame)

        def asks_for_a_fixed_frame():
            hints = d.x11_property(xid, "WM_NORMAL_HINTS")
            assert "minimum size: 320 by 184" in hints and "maximum size: 320 by 184" in hints, hints
            motif = [int(v, 0) for v in d.x11_property(xid, "_MOTIF_WM_HINTS").split("=")[1].split(",")]
            assert motif[0] & 1 and motif[1] == 0x24, f"functions: move and close only, not {motif}"
            allowed = d.x11_property(xid, "_NET_WM_ALLOWED_ACTIONS")
            assert "RESIZE" not in allowed and "MAXIMIZE" not in allowed, allowed
            assert "_NET_WM_WINDOW_TYPE_NORMAL" in d.x11_property(xid, "_NET_WM_WINDOW_TYPE")
            assert "SKIP_TASKBAR" not in d.x11_property(xid, "_NET_WM_STATE"), "keeps its taskbar entry"
            assert "_NET_WM_ICON(CARDINAL)" in d.x11_property(xid, "_NET_WM_ICON")
            x, y, width, height = d.x11_geometry(xid)
            assert (width, height) == FIXED
            assert abs(x + width / 2 - 512) <= 1 and abs(y + height / 2 - 384) <= 1, f"centred: {x}, {y}"
        report.check("AsksTheWindowManagerForAFixedCentredFrame", asks_for_a_fixed_frame)

        def normal_at_own_size():
            d.wait_for(lambda: "FULLSCREEN" not in d.wm_state(xid) and "MAXIMIZED" not in d.wm_state(xid)
                       and d.x11_geometry(xid)[2:] == FIXED, d.BOUND,
                       f"the normal state at {FIXED} (now {d.wm_state(xid)}, {d.x11_geometry(xid)})")

        def keeps_its_size():
            home = d.x11_geometry(xid)
            for request in (["-b", "add,fullscreen"], ["-b", "add,maximized_vert,maximized_horz"],
                            ["-e", "0,10,10,700,500"]):
                d.wm_request(xid, *request)
                d.wm_barrier(xid)  # the request handled: what follows is the window's answer
                normal_at_own_size()
                assert program.running(), f"ended after {request}"
            assert d.x11_geometry(xid)[:2] != (0, 0) or home[:2] == (0, 0), "not moved to a corner"
        report.check("MaximiseFullscreenAndResizeRequestsLeaveItsOwnSize", keeps_its_size)

        def insisting_window_manager():
            # One that forces full screen again as soon as the window has
            # left it: the window leaves it (a few times, counting the
            # states forced just before), then lets it be,
            # with the form centred in whatever size it got (openbox keeps
            # the fixed size at the screen's corner).
            forced = 0
            while True:
                forced += 1
                assert forced <= 10, "never gave in"
                d.wm_request(xid, "-b", "add,fullscreen")
                d.wm_barrier(xid)
                left, top, width, height = d.x11_geometry(xid)
                button = program.find(program.window(), "push button", "Selecteaza culoarea..")
                x, y = button.queryComponent().getPosition(pyatspi.DESKTOP_COORDS)  # the program answered
                d.wm_barrier(xid)  # and what it asked of the window manager is done
                if "FULLSCREEN" in d.wm_state(xid):
                    break
            assert program.running()
            expected = (left + (width - FIXED[0]) // 2 + 184, top + (height - FIXED[1]) // 2 + 8)
            d.wait_for(lambda: all(abs(a - b) <= 1 for a, b in zip(
                button.queryComponent().getPosition(pyatspi.DESKTOP_COORDS), expected)), d.BOUND,
                f"the form centred: the button at {expected}")
            d.wm_request(xid, "-b", "remove,fullscreen")
            normal_at_own_size()
        report.check("AnInsistingWindowManagerGetsTheFormCentred", insisting_window_manager)
        report.check("PickAndCopyStillWorkAfterThem", pick_and_copy_work, program, d.clipboard_text)

        def closes():
            d.close_through_wm(xid)
            assert program.wait_exit(d.BOUND) == 0
        report.check("TheWindowManagersCloseEndsTheProgram", closes)

    # Qt's own dialogs speak the user's language; the window's texts do not.
    with d.Program(exe, env={"LANG": "de_DE.UTF-8", "LANGUAGE": "de"}, report=report) as program:
        def german_dialog():
            program.press("Selecteaza culoarea..")
            dialog = program.dialog()
            names = {n.name for n in d.descendants(dialog, 8) if n.getRoleName() == "push button"}
            assert dialog.name == "Farbauswahl" and "Abbrechen" in names, (dialog.name, names)
            program.press("Abbrechen", dialog)
            assert program.find(program.window(), "label", "Zecimal:")
        report.check("TheColourDialogSpeaksTheUsersLanguage", german_dialog)


# --- Wayland, under weston ------------------------------------------------------
WAYLAND = {"QT_QPA_PLATFORM": "wayland", "DISPLAY": "", "WAYLAND_DEBUG": "client"}


def wl_paste():
    result = d.run("wl-paste", "--no-newline", check=False, timeout=20)
    return result.stdout if result.returncode == 0 else None


def wayland(exe, report):
    width = lambda box: box[2] - box[0]

    def window_box():
        """The window with Qt's title bar where weston shows it, once two
        looks in a row agree (a resize takes a frame or two to land)."""
        boxes = [None]

        def still():
            boxes.append(d.weston_window_box(program.pid))
            return boxes[-1] if boxes[-1] and boxes[-1] == boxes[-2] else None
        return d.wait_for(still, d.BOUND, "the window to hold still on weston's output")

    def title_button(box, which):
        # Qt's title bar: 18-px buttons, 8 px from the right edge, 5 apart.
        offset = {"close": 17, "maximise": 40, "minimise": 63}[which]
        return box[2] - offset, box[1] + 15

    def press_title_button(which):
        box = window_box()
        program.wayland_click(*title_button(box, which), box[:2])

    def sized_configures():
        """The configure events that gave the window a size of the
        compositor's (maximised, full screen), so far."""
        return sum(1 for i, e, a in program.wayland_events()
                   if (i, e) == ("xdg_toplevel", "configure") and a[0] != "0")

    with d.Program(exe, env=WAYLAND, report=report) as program:
        program.window()
        normal = window_box()

        def held_by_the_compositor():
            press_title_button("maximise")
            d.wait_for(lambda: width(window_box()) > 900, d.BOUND, "the maximised window")
            assert program.running(), "ended by the maximise button"
            pick_and_copy_work(program, wl_paste)
            press_title_button("maximise")  # restore
            d.wait_for(lambda: window_box() == normal, d.BOUND, "the restored window")
            for binding in ("super+shift+m", "super+shift+f"):  # weston's own maximise, fullscreen
                seen = sized_configures()
                d.keys(binding)
                d.wait_for(lambda: sized_configures() > seen, d.BOUND, f"the size {binding} gives")
                d.wait_for(lambda: width(window_box()) > 900, d.BOUND, f"the window {binding} made large")
                assert program.running(), f"ended by {binding}"
                d.keys(binding)
                d.wait_for(lambda: window_box()[2:] == normal[2:] or window_box() == normal, d.BOUND,
                           f"the window back after {binding}")
            assert program.running()
        report.check("MaximiseAndFullscreenNeverEndTheProgram", held_by_the_compositor)

        def resized_back():
            box = window_box()
            corner = (box[2] - 2, box[3] - 2)  # the bottom-right corner of Qt's frame
            d.enter_afresh()
            d.run("xdotool", "mousemove", "--sync", *map(str, corner))
            local = (corner[0] - box[0], corner[1] - box[1])
            d.wait_for(lambda: program.pointer_position() == local, d.BOUND, "the pointer on the corner")
            resizes = program.wayland_requests("xdg_toplevel.resize")
            d.run("xdotool", "mousedown", "1")
            d.wait_for(lambda: program.wayland_requests("xdg_toplevel.resize") > resizes, d.BOUND,
                       "the resize Qt's frame asks the compositor for")
            for step in range(1, 11):  # a hand's drag, not one jump
                d.run("xdotool", "mousemove", "--sync", str(corner[0] + 15 * step), str(corner[1] + 10 * step))
            d.run("xdotool", "mouseup", "1")
            size = lambda b: (b[2] - b[0], b[3] - b[1])
            d.wait_for(lambda: size(window_box()) == size(box), d.BOUND, "the window at its own size")
            assert program.running(), "ended by a resize"
            pick_and_copy_work(program, wl_paste)
        report.check("AnEdgeDragLeavesItsOwnSize", resized_back)

        def closes():
            press_title_button("close")
            code = program.wait_exit(d.BOUND)
            assert code == 0, f"exit code {code}"
        report.check("TheTitleBarsCloseEndsTheProgram", closes)

    with d.Program(exe, env=WAYLAND, report=report) as program:
        def minimised():
            program.window()
            sent = program.wayland_requests("xdg_toplevel.set_minimized")
            press_title_button("minimise")
            d.wait_for(lambda: program.wayland_requests("xdg_toplevel.set_minimized") > sent, d.BOUND,
                       "the minimise request")
            # The compositor takes requests in order: a copy that reaches
            # another client came after the minimise, and did not end it.
            pick_and_copy_work(program, wl_paste)
            assert program.running(), "ended by the minimise button"
        report.check("MinimiseNeverEndsTheProgram", minimised)


# --- Wayland, under sway (a tiling compositor) ------------------------------------
def sway_view():
    """The program's node in sway's tree, or None."""
    import json

    def walk(node):
        if node.get("app_id") == "quillantern":
            return node
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            found = walk(child)
            if found:
                return found
        return None
    return walk(json.loads(d.run("swaymsg", "-t", "get_tree").stdout))


def sway(exe, report):
    with d.Program(exe, env=WAYLAND, report=report) as program:
        program.window()
        view = lambda: d.wait_for(sway_view, d.BOUND, "the window in sway's tree")
        size = lambda node: (node["window_rect"]["width"], node["window_rect"]["height"])

        def floats_at_its_own_size():
            node = d.wait_for(lambda: (n := sway_view()) and size(n) == FIXED and n, d.BOUND,
                              f"the window at {FIXED} (sway has {size(view())})")
            assert node["type"] == "floating_con", f"tiled: {node['type']} {node['rect']}"
        report.check("FloatsAtItsOwnSize", floats_at_its_own_size)

        def survives_full_screen():
            d.run("swaymsg", "[app_id=quillantern] fullscreen enable")
            d.wait_for(lambda: view()["fullscreen_mode"] == 1 and size(view()) != FIXED, d.BOUND,
                       "the window full screen")
            assert program.running(), "ended by full screen"
            left, top = view()["rect"]["x"], view()["rect"]["y"]
            width, height = size(view())
            button = program.find(program.window(), "push button", "Selecteaza culoarea..")
            expected = (left + (width - FIXED[0]) // 2 + 184, top + (height - FIXED[1]) // 2 + 8)
            d.wait_for(lambda: abs(button.queryComponent().getPosition(pyatspi.WINDOW_COORDS)[0] -
                                   (expected[0] - left)) <= 1, d.BOUND, "the form centred in the screen")
            d.run("swaymsg", "[app_id=quillantern] fullscreen disable")
            d.wait_for(lambda: view()["fullscreen_mode"] == 0 and size(view()) == FIXED, d.BOUND,
                       f"the window back at {FIXED}")
            assert view()["type"] == "floating_con"
            pick_and_copy_work(program, wl_paste)
        report.check("FullScreenNeverEndsItAndItComesBackFloating", survives_full_screen)

        def killed_by_sway():
            d.run("swaymsg", "[app_id=quillantern] kill")
            assert program.wait_exit(d.BOUND) == 0
        report.check("SwaysCloseEndsTheProgram", killed_by_sway)


# --- no display ---------------------------------------------------------------
def nodisplay(exe, report):
    def says_what_is_missing():
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        cases = [({}, "quillantern: cannot open a display: neither DISPLAY nor WAYLAND_DISPLAY is set\n"),
                 ({"DISPLAY": ":97"}, "quillantern: cannot open a display: could not connect to display :97\n")]
        for extra, expected in cases:
            result = subprocess.run([exe], env={**env, **extra}, capture_output=True, text=True, timeout=20)
            assert (result.returncode, result.stderr) == (1, expected), (extra, result.returncode, result.stderr)
    report.check("NoDisplayGivesOneLineAndExitCodeOne", says_what_is_missing)


if __name__ == "__main__":
    group, exe = sys.argv[1], os.path.abspath(sys.argv[2])
    suite = {"x11": "DesktopX11", "wayland": "DesktopWeston", "sway": "DesktopSway", "nodisplay": "NoDisplay"}[group]
    report = d.Report(suite, sys.argv[3] if len(sys.argv) > 3 else None)
    globals()[group](exe, report)
    sys.exit(report.finish())
