"""The Linux window in the user's locale and script, under a window manager:
whatever the language (right to left too), the window's own texts and
geometry stand exactly as in C.UTF-8, a pick shows the same ASCII read-outs,
and Qt's colour dialog speaks the user's language where Qt has a
translation for it. First in the session's own fonts, where every language
renders alike; then in the fonts a user of each language has on this
machine, against C.UTF-8 in the same fonts (a wider face grows the whole
window, never one control).

    locale_test.py PROGRAM [REPORT.xml]      (inside tools/desktop-run.sh --wm ...)
"""
import os
import subprocess
import sys
import time

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
# The system's font configuration, as the desktop's programs read it.
SYSTEM_FONTS = "/etc/fonts/fonts.conf"
ORANGE = ["33023", "255", "128", "0", "FF8000"]


def window_pixels(xid):
    """The client area's pixels as the X server has them (PPM bytes), once
    the window is painted (not of one colour) and has stayed the same for
    a while longer than a frame."""
    def capture():
        return subprocess.run(["import", "-window", xid, "ppm:-"], capture_output=True, timeout=20).stdout
    last = [capture(), time.monotonic()]

    def settled():
        now = capture()
        if now != last[0]:
            last[:] = [now, time.monotonic()]
            return False
        return time.monotonic() - last[1] >= 0.3 and len(set(pixel_values(now))) > 1
    d.wait_for(settled, d.BOUND, "the window to finish painting")
    return last[0]


def pixel_values(ppm):
    """The pixels of a binary PPM (P6, 8 bits), as bytes of three."""
    fields = ppm.split(maxsplit=4)
    if len(fields) < 5 or fields[0] != b"P6":
        return []
    data = fields[4]
    return [data[i:i + 3] for i in range(0, len(data) - 2, 3)]


def layout_dpi(width, height):
    """The DPI at which the twips layout (4800 x 2760) has this client size,
    or None: a window whose proportions are not the layout's."""
    twips = lambda value, dpi: (value * dpi + 720) // 1440
    return next((dpi for dpi in range(96, 4 * 96 + 1) if (twips(4800, dpi), twips(2760, dpi)) == (width, height)),
                None)


def keep(report, pixels, name):
    """Saves pixels beside the report for whoever reads a failure; returns
    the folder."""
    folder = report.artefacts()
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


def shown(exe, env, args=(), report=None):
    """(pixels, geometry) of the window of one run of the program."""
    with d.Program(exe, env=env, args=args, report=report) as program:
        xid = d.x11_window(program.pid)
        return window_pixels(xid), d.x11_geometry(xid)


def same_window(report, row, actual, expected, expected_name):
    """Fails unless the window of `row` has the pixels and the size of the
    one it is compared with, and the proportions of the layout."""
    (pixels, geometry), (reference_pixels, reference_geometry) = actual, expected
    assert geometry[2:] == reference_geometry[2:], f"{geometry[2:]}, in {expected_name} {reference_geometry[2:]}"
    assert layout_dpi(*geometry[2:]), f"{geometry[2:]} is not the layout's proportions (4800 x 2760 twips)"
    if pixels != reference_pixels:
        keep(report, reference_pixels, expected_name.replace(" ", "").replace("=", "-"))
        folder = keep(report, pixels, row.replace(" ", ""))
        raise AssertionError(f"the window's pixels differ from those in {expected_name} (both in {folder})")


def main():
    exe = sys.argv[1]
    report = d.Report("desktop_locale", sys.argv[2] if len(sys.argv) > 2 else None)

    # 1. The session's own fonts (tools/test-fonts.conf: DejaVu alone, the
    # same in every language): every locale exactly as C.UTF-8, and what
    # else a language changes.
    reference = {}
    for lang, options, translation in LOCALES:
        env = {"LANG": lang, "LC_ALL": lang, "LANGUAGE": ""}
        row = " ".join([lang, *options])
        with d.Program(exe, env=env, args=options, report=report) as program:
            xid = d.x11_window(program.pid)

            def stands_as_in_c():
                window = (window_pixels(xid), d.x11_geometry(xid))
                if not reference:
                    reference["C.UTF-8"] = window
                    assert layout_dpi(*window[1][2:]) == 96, f"{window[1][2:]} in C.UTF-8 at 96 DPI"
                    return
                same_window(report, row, window, reference["C.UTF-8"], "C.UTF-8")
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

    # 2. The fonts a user of each language has here: the system's own
    # configuration, whose rules may give a language other faces (a
    # Japanese desktop's sans face is a CJK one, often wider) or render the
    # same face otherwise. Each locale against C.UTF-8 with that language's
    # fonts (FC_LANG): the same texts in the same places, the window grown
    # as a whole where the faces need it.
    system, in_its_fonts = {"FONTCONFIG_FILE": SYSTEM_FONTS}, {}
    for lang, options, _ in LOCALES[1:]:
        row = " ".join([lang, *options])

        def stands_as_in_c_in_its_fonts():
            if lang not in in_its_fonts:
                in_its_fonts[lang] = shown(exe, {**system, "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8", "LANGUAGE": "",
                                              "FC_LANG": lang}, report=report)
            window = shown(exe, {**system, "LANG": lang, "LC_ALL": lang, "LANGUAGE": ""}, options, report)
            same_window(report, row, window, in_its_fonts[lang], f"C.UTF-8 with FC_LANG={lang}")
        report.check(f"{row}: TheWindowStandsAsInCInTheLanguagesOwnFonts", stands_as_in_c_in_its_fonts)
    return report.finish()


if __name__ == "__main__":
    sys.exit(main())
