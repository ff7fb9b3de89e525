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


def pick_and_copy_work(program, read_clipboard, copy=d.Program.copy):
    program.pick(255, 128, 0)
    assert program.texts() == ORANGE, program.texts()
    copy(program)
    d.wait_for(lambda: read_clipboard() == "33023", d.BOUND, "the copied value on the clipboard")
    program.pick(0, 0, 255)
    assert program.texts() == ["16711680", "0", "0", "255", "0000FF"], program.texts()


# --- X11, under a window manager -------------------------------------------------
# Each window manager's keys that maximise or fullscreen the active window.
DESKTOP_KEYS = {"Mutter": ["super+Up", "alt+F10", "super+f"], "KWin": ["super+Prior"],
                "Xfwm4": ["alt+F10", "alt+F11"], "Openbox": []}


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
            if "MINIMIZE" in allowed:  # openbox and KWin offer it to every normal window
                print("policy: the window manager offers minimise by its own policy", flush=True)
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

        def desktops_own_ways_leave_its_size():
            # A double-click on the title bar, then the window manager's own
            # keys for maximise and full screen (GNOME's here include the
            # session's key for full screen, which GNOME leaves unbound).
            d.double_click(*d.title_bar_point(xid))
            d.wm_barrier(xid)
            normal_at_own_size()
            for binding in DESKTOP_KEYS.get(d.wm_name(), ()):
                d.keys(binding)
                d.wm_barrier(xid)  # the window manager takes its keys and requests in order
                normal_at_own_size()
                assert program.running(), f"ended by {binding}"
        report.check("TheTitleBarsDoubleClickAndTheDesktopsKeysLeaveItsOwnSize", desktops_own_ways_leave_its_size)

        def insisting_window_manager():
            # One that forces full screen again as soon as the window has
            # left it: the window leaves it (a few times, counting the
            # states forced just before), then lets it be,
            # with the form centred in whatever size it got (openbox keeps
            # the fixed size at the screen's corner).
            forced = 0
            while True:
                forced += 1
                if forced > 10 and "FULLSCREEN" not in d.x11_property(xid, "_NET_WM_ALLOWED_ACTIONS"):
                    # mutter: no full screen for a window of a fixed size
                    # that is not the screen's, and it says so.
                    print("policy: the window manager never makes the fixed window full screen", flush=True)
                    normal_at_own_size()
                    return
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


def leaves_the_state(program, make_it, state, at_own_size, what):
    """make_it() has the compositor maximise the window or make it full
    screen (`state`: "maximized" or "fullscreen"), which the window never
    asks for: the program asks for its normal state back, comes back at
    its own size (at_own_size() says when), and goes on running."""
    asked = program.wayland_requests(f"xdg_toplevel.unset_{state}")
    make_it()
    d.wait_for(lambda: program.wayland_requests(f"xdg_toplevel.unset_{state}") > asked, d.BOUND,
               f"the program to ask for the normal state back after {what}")
    d.wait_for(at_own_size, d.BOUND, f"the window back at its own size after {what}")
    assert program.running(), f"ended by {what}"


def frame_buttons(program):
    """The names of the buttons the window's own frame offers (none where
    the compositor draws the frame)."""
    form = {"Selecteaza culoarea..", "Copiaza in clipboard"}
    return sorted(n.name for n in d.descendants(program.window(), 8)
                  if n.getRoleName() == "push button" and n.name not in form)


def wayland(exe, report):
    size = lambda box: (box[2] - box[0], box[3] - box[1])

    def window_box():
        """The window with its frame where weston shows it, once two looks
        in a row agree (a resize takes a frame or two to land)."""
        boxes = [None]

        def still():
            boxes.append(d.weston_window_box(program.pid))
            return boxes[-1] if boxes[-1] and boxes[-1] == boxes[-2] else None
        return d.wait_for(still, d.BOUND, "the window to hold still on weston's output")

    def close_box():
        """Where the frame's close box is on the screen."""
        button = program.find(program.window(), "push button", frame_buttons(program)[0])
        x, y = button.queryComponent().getPosition(pyatspi.WINDOW_COORDS)
        width, height = button.queryComponent().getSize()
        box = window_box()
        return box[0] + x + width // 2, box[1] + y + height // 2

    with d.Program(exe, env=WAYLAND, report=report) as program:
        program.window()
        normal = window_box()

        def offers_close_only():
            # weston draws no frames: the window's own has a close box and
            # no more. Where Qt's title bar has its maximise and minimise
            # buttons, a press only starts moving the window.
            assert frame_buttons(program) == ["Close"], frame_buttons(program)
            assert size(normal) == (FIXED[0] + 6, FIXED[1] + 33), f"the frame's size {size(normal)}"
            for offset in (40, 63):
                moves = program.wayland_requests("xdg_toplevel.move")
                program.wayland_press(normal[2] - offset, normal[1] + 15, normal[:2])
                d.wait_for(lambda: program.wayland_requests("xdg_toplevel.move") > moves, d.BOUND,
                           "the move a press on the title bar starts")
                d.run("xdotool", "mouseup", "1")
            for request in ("set_maximized", "set_minimized", "set_fullscreen"):
                assert program.wayland_requests(f"xdg_toplevel.{request}") == 0, f"the window asked to {request}"
            assert size(window_box()) == size(normal)
        report.check("TheFrameOffersCloseAndNoMaximiseOrMinimise", offers_close_only)

        def leaves_what_weston_forces():
            for binding, state in (("super+shift+m", "maximized"), ("super+shift+f", "fullscreen")):
                leaves_the_state(program, lambda: d.keys(binding), state,
                                 lambda: size(window_box()) == size(normal), binding)
            pick_and_copy_work(program, wl_paste)
        report.check("WestonsMaximiseAndFullscreenKeysLeaveItsOwnSize", leaves_what_weston_forces)

        def keeps_its_size_when_dragged():
            box = window_box()
            corner = (box[2] - 2, box[3] - 2)  # the bottom-right corner of the frame
            resizes = program.wayland_requests("xdg_toplevel.resize")
            buttons = program.buttons_seen()
            program.wayland_press(*corner, box[:2])
            try:
                for step in range(1, 11):  # a hand's drag, not one jump, within the screen
                    d.move_pointer(corner[0] + 10 * step, corner[1] + 6 * step)
            finally:
                d.run("xdotool", "mouseup", "1")
            d.wait_for(lambda: program.buttons_seen() >= buttons + 2, d.BOUND, "the program told of the release")
            pick_and_copy_work(program, wl_paste)  # what the program did with the drag is done by now
            assert program.wayland_requests("xdg_toplevel.resize") == resizes, "the frame started a resize"
            assert size(window_box()) == size(box), "the window at its own size"
        report.check("AnEdgeDragLeavesItsOwnSize", keeps_its_size_when_dragged)

        def closes():
            program.wayland_click(*close_box(), window_box()[:2])
            code = program.wait_exit(d.BOUND)
            assert code == 0, f"exit code {code}"
        report.check("TheFramesCloseBoxEndsTheProgram", closes)


# --- Wayland, under GNOME's mutter (no server-side frames) -----------------------
def gnome(exe, report):
    with d.Program(exe, env=WAYLAND, report=report) as program:
        program.window()
        own = d.wait_for(lambda: program.size() if program.wayland_requests("xdg_surface.ack_configure") else None,
                         d.BOUND, "the window configured")
        # GNOME centres new windows (the session's setting): its middle is
        # over the window, and the program tells where it is on its surface.
        origin = program.surface_origin(512, 384)
        forced = lambda: sum(1 for i, e, a in program.wayland_events() if (i, e) == ("xdg_toplevel", "configure")
                             and (int(a[0]), int(a[1])) not in ((0, 0), own))

        def draws_a_fixed_frame():
            assert own == (FIXED[0] + 6, FIXED[1] + 33), f"the frame's size {own}"
            assert frame_buttons(program) == ["Close"], frame_buttons(program)
            for offset in (40, 63):  # where Qt's title bar has maximise and minimise
                moves = program.wayland_requests("xdg_toplevel.move")
                program.wayland_press(origin[0] + own[0] - offset, origin[1] + 15, origin)
                d.wait_for(lambda: program.wayland_requests("xdg_toplevel.move") > moves, d.BOUND,
                           "the move a press on the title bar starts")
                d.run("xdotool", "mouseup", "1")
            # The close box is no stop of the keyboard's: seven Tabs go round
            # the form's seven controls, back to the choose button.
            choose = program.find(program.window(), "push button", "Selecteaza culoarea..")
            choose.queryComponent().grabFocus()
            d.wait_for(lambda: program.window().getState().contains(pyatspi.STATE_ACTIVE), d.BOUND, "the window active")
            d.keys(*["Tab"] * 7)
            program.key_barrier()
            d.wait_for(lambda: choose.getState().contains(pyatspi.STATE_FOCUSED), d.BOUND,
                       "the focus back on the choose button after seven Tabs")
        report.check("ItsOwnFrameOffersCloseAndNoMaximiseOrMinimise", draws_a_fixed_frame)

        def no_way_changes_its_size():
            # mutter gives a window of a fixed size neither maximise nor
            # full screen; whatever it forces anyway, the window leaves.
            def double_click_the_bar():
                program.enter_at(origin[0] + own[0] // 2, origin[1] + 15)
                d.run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
            ways = [("a double-click on the title bar", double_click_the_bar)]
            ways += [(binding, lambda binding=binding: d.keys(binding)) for binding in ("super+Up", "alt+F10", "super+f")]
            for what, act in ways:
                seen = forced()
                act()
                program.key_barrier()
                if forced() > seen:
                    print(f"policy: mutter forced another size on {what}", flush=True)
                    d.wait_for(lambda: program.size() == own, d.BOUND, f"the window back at its own size after {what}")
                assert program.size() == own, f"{program.size()} after {what}"
                assert program.running(), f"ended by {what}"
            for request in ("set_maximized", "set_minimized", "set_fullscreen"):
                assert program.wayland_requests(f"xdg_toplevel.{request}") == 0, f"the window asked to {request}"
            pick_and_copy_work(program, wl_paste, d.Program.copy_on_wayland)
        report.check("NoMaximiseOrFullScreenPathChangesItsSize", no_way_changes_its_size)

        def closes():
            button = program.find(program.window(), "push button", "Close")
            x, y = button.queryComponent().getPosition(pyatspi.WINDOW_COORDS)
            width, height = button.queryComponent().getSize()
            program.wayland_click(origin[0] + x + width // 2, origin[1] + y + height // 2, origin)
            assert program.wait_exit(d.BOUND) == 0
        report.check("TheFramesCloseBoxEndsTheProgram", closes)


# --- Wayland, under KDE's KWin (server-side Breeze frames) ------------------------
def kde(exe, report):
    with d.Program(exe, env=WAYLAND, report=report) as program:
        program.window()
        frame = lambda: d.kwin_window(program.pid, "geometry(w);", "tells the window's frame")[0]
        normal = d.wait_for(frame, d.BOUND, "the window in KWin")

        def kwin_draws_a_fixed_frame():
            assert frame_buttons(program) == [], "a frame of the window's own besides KWin's"
            assert program.size() == FIXED, program.size()
            facts = d.kwin_window(program.pid, "say([w.resizeable, w.maximizable, w.minimizable].join(' '));",
                                  "tells what the window allows")
            resizeable, maximizable, minimizable = facts[0].split()
            assert (resizeable, maximizable) == ("false", "false"), facts
            assert normal[2] == FIXED[0], f"the frame {normal}"
            if minimizable == "true":
                print("policy: KWin offers minimise by its own policy", flush=True)
        report.check("KWinDrawsAFrameWithoutMaximise", kwin_draws_a_fixed_frame)

        def maximise_paths_leave_its_size():
            ways = [("the window menu's maximise", lambda: d.kwin_window(program.pid, "w.setMaximize(true, true);",
                                                                          "maximises the window")),
                    ("Meta+PageUp", lambda: d.keys("super+Prior")),
                    ("a double-click on the title bar", lambda: d.double_click(normal[0] + normal[2] // 2, normal[1] + 12))]
            for what, act in ways:
                act()
                program.key_barrier()
                assert frame() == normal, f"{frame()} after {what}, not {normal}"
                assert program.size() == FIXED, f"{program.size()} after {what}"
        report.check("KWinsMaximisePathsLeaveItsOwnSize", maximise_paths_leave_its_size)

        def leaves_full_screen():
            # The window menu offers full screen to every window.
            leaves_the_state(program, lambda: d.kwin_window(program.pid, "w.fullScreen = true;", "fullscreens it"),
                             "fullscreen", lambda: frame() == normal and program.size() == FIXED, "KWin's full screen")
            pick_and_copy_work(program, wl_paste, d.Program.copy_on_wayland)
        report.check("KWinsFullScreenIsLeftForItsOwnSize", leaves_full_screen)

        def closes():
            d.kwin_window(program.pid, "w.closeWindow();", "closes the window")
            assert program.wait_exit(d.BOUND) == 0
        report.check("KWinsCloseEndsTheProgram", closes)


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

        def leaves_full_screen():
            leaves_the_state(program, lambda: d.run("swaymsg", "[app_id=quillantern] fullscreen enable"),
                             "fullscreen", lambda: view()["fullscreen_mode"] == 0 and size(view()) == FIXED,
                             "sway's full screen")
            assert view()["type"] == "floating_con", "floating again"
        report.check("FullScreenIsLeftAndItComesBackFloating", leaves_full_screen)

        def insisting_compositor():
            # A compositor that makes the window full screen again as soon
            # as it has left: the window leaves a few times, then lets it
            # be, with the form centred in the screen.
            button = program.find(program.window(), "push button", "Selecteaza culoarea..")
            unsets = lambda: program.wayland_requests("xdg_toplevel.unset_fullscreen")

            def centred():
                node = view()
                width, height = size(node)
                x = button.queryComponent().getPosition(pyatspi.WINDOW_COORDS)[0]
                return node["fullscreen_mode"] == 1 and abs(x - ((width - FIXED[0]) // 2 + 184)) <= 1
            forced = 0
            while True:
                forced += 1
                assert forced <= 10, "never gave in"
                asked = unsets()
                d.run("swaymsg", "[app_id=quillantern] fullscreen enable")
                d.wait_for(lambda: unsets() > asked or centred(), d.BOUND, "the program's answer to full screen")
                # Two more answers of the program's: whatever it asks the
                # compositor after taking the size, it has asked by now.
                centred(), centred()
                if unsets() == asked:
                    break
                d.wait_for(lambda: view()["fullscreen_mode"] == 0, d.BOUND, "the window out of full screen")
            assert program.running(), "ended by full screen"
            assert centred(), "the form centred in the screen"
            d.run("swaymsg", "[app_id=quillantern] fullscreen disable")
            d.wait_for(lambda: view()["fullscreen_mode"] == 0 and size(view()) == FIXED, d.BOUND,
                       f"the window back at {FIXED}")
            assert view()["type"] == "floating_con"
            pick_and_copy_work(program, wl_paste)
        report.check("AnInsistingCompositorGetsTheFormCentred", insisting_compositor)

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
    suite = {"x11": "DesktopX11", "wayland": "DesktopWeston", "sway": "DesktopSway", "gnome": "DesktopGnomeWayland",
             "kde": "DesktopKdeWayland", "nodisplay": "NoDisplay"}[group]
    report = d.Report(suite, sys.argv[3] if len(sys.argv) > 3 else None)
    globals()[group](exe, report)
    sys.exit(report.finish())
