"""The Linux window in the user's locale and script, under a window manager:
whatever the language (right to left too), the window's own texts and
geometry stand exactly as in C.UTF-8, a pick shows the same ASCII read-outs,
and Qt's colour dialog speaks the user's language where Qt has a
translation for it.

    locale_test.py PROGRAM [REPORT.xml]      (inside tools/desktop-run.sh --wm ...)
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop as d  # noqa: E402
import pyatspi  # noqa: E402

# (LANG, Qt's options, Qt's translation of its texts if it has one); the
# first is the reference. -reverse: right to left in any language.
LOCALES = [("C.UTF-8", [], None), ("de_DE.UTF-8", [], "de"), ("he_IL.UTF-8", [], "he"),
           ("ar_EG.UTF-8", [], "ar"), ("fa_IR.UTF-8", [], "fa"), ("tr_TR.UTF-8", [], "tr"),
           ("ja_JP.UTF-8", [], "ja"), ("C.UTF-8", ["-reverse"], None)]
TRANSLATIONS = "/usr/share/qt6/translations"
ENGLISH_TITLE = "Select Color"
ORANGE = ["33023", "255", "128", "0", "FF8000"]


def window_pixels(xid):
    """The client area's pixels as the X server has them (PPM bytes), once
    two captures in a row agree (the window has finished painting)."""
    def capture():
        return subprocess.run(["import", "-window", xid, "ppm:-"], capture_output=True, timeout=20).stdout
    last = [capture()]

    def settled():
        now = capture()
        same = now == last[0] and len(now) > 100
        last[0] = now
        return same
    d.wait_for(settled, getattr(d, "BOUND", 10), "the window to finish painting")
    return last[0]


def keep(pixels, name):
    """Saves pixels for whoever reads a failure; returns the folder."""
    folder = os.path.join(tempfile.gettempdir(), "quillantern-locale-test")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name + ".ppm"), "wb") as out:
        out.write(pixels)
    return folder


def showing_dialog(program):
    return d.wait_for(lambda: next(w for w in program.app() if w.getRoleName() == "dialog"
                                   and w.getState().contains(pyatspi.STATE_SHOWING)), 10, "the colour dialog")


def pick_in_any_language(program, red, green, blue):
    """A pick through the real colour dialog, whatever language its labels
    speak: its spin boxes come in Qt's order (hue, saturation, value, red,
    green, blue), and OK is the dialog's default button. Returns the
    dialog's title."""
    program.press("Selecteaza culoarea..")
    dialog = showing_dialog(program)
    title = dialog.name
    spins = [n for n in d.descendants(dialog, 8) if n.getRoleName() == "spin button"]
    assert len(spins) >= 6, f"{len(spins)} spin boxes in the colour dialog"
    for spin, value in zip(spins[3:6], (red, green, blue)):
        spin.queryValue().currentValue = value
    ok = next(n for n in d.descendants(dialog, 8) if n.getRoleName() == "push button"
              and n.getState().contains(pyatspi.STATE_IS_DEFAULT))
    ok.queryAction().doAction(0)
    d.wait_for(lambda: not any(w.getRoleName() == "dialog" and w.getState().contains(pyatspi.STATE_SHOWING)
                               for w in program.app()), 10, "the dialog to close")
    return title


def mapped_image_plugins(pid):
    with open(f"/proc/{pid}/maps") as maps:
        return sorted({line.split()[-1] for line in maps if "/imageformats/" in line})


def main():
    exe = sys.argv[1]
    report = d.Report("desktop_locale", sys.argv[2] if len(sys.argv) > 2 else None)
    reference = {}

    for lang, options, translation in LOCALES:
        env = {"LANG": lang, "LC_ALL": lang, "LANGUAGE": ""}
        row = " ".join([lang, *options])
        with d.Program(exe, env=env, args=options, report=report) as program:
            xid = d.x11_window(program.pid)

            def stands_as_in_c():
                pixels = window_pixels(xid)
                if not reference:
                    reference["pixels"] = pixels
                    reference["geometry"] = d.x11_geometry(xid)
                    return
                assert d.x11_geometry(xid) == reference["geometry"], \
                    f"{d.x11_geometry(xid)}, in C.UTF-8 {reference['geometry']}"
                if pixels != reference["pixels"]:
                    keep(reference["pixels"], "C.UTF-8")
                    folder = keep(pixels, row.replace(" ", ""))
                    raise AssertionError(f"the window's pixels differ from those in C.UTF-8 (both in {folder})")
            report.check(f"{row}: TheWindowStandsAsInC", stands_as_in_c)

            def no_image_plugin_before_a_pick():
                plugins = mapped_image_plugins(program.pid)
                assert not plugins, f"image-format plugins loaded for the window alone: {plugins}"
            report.check(f"{row}: NoImageFormatPluginForTheWindow", no_image_plugin_before_a_pick)

            def pick_reads_the_same():
                title = pick_in_any_language(program, 255, 128, 0)
                assert program.texts() == ORANGE, program.texts()
                has_translation = translation and os.path.exists(f"{TRANSLATIONS}/qtbase_{translation}.qm")
                if has_translation:
                    assert title and title != ENGLISH_TITLE, f"the colour dialog's title untranslated: {title!r}"
                else:
                    assert title == ENGLISH_TITLE, title
            report.check(f"{row}: APickShowsTheSameReadoutsAndTheDialogSpeaksTheLanguage", pick_reads_the_same)
    return report.finish()


if __name__ == "__main__":
    sys.exit(main())
