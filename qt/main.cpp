// Quillantern on the Linux desktop: pick a colour, read it as decimal,
// channels and HTML code. Reads no files or settings of its own; of the
// environment, only what says whether there is a display to open.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <optional>

#include "qt/clipboard_handoff.hpp"
#include "qt/command_line.hpp"
#include "qt/display_check.hpp"
#include "qt/font_warmup.hpp"
#include "qt/form_widget.hpp"

int main(int argc, char** argv) {
    // Read once, before Qt: --help and --version need no display.
    const auto [command_line, stop_status] = quill::qt::HandleCommandLine(argc, argv);
    if (stop_status) return *stop_status;
    if (const auto problem =
            quill::qt::DisplayProblem(quill::qt::CurrentSession(command_line.platform, command_line.display))) {
        std::fprintf(stderr, "quillantern: %s\n", problem->c_str());
        return 1;
    }
    quill::qt::FontConfigWarmUp fonts;  // while Qt connects to the display
    std::optional<quill::qt::DisplayOpening> opening(std::in_place);
    QApplication application(argc, argv);
    opening.reset();
    QApplication::setApplicationName("Quillantern");
    QGuiApplication::setDesktopFileName("quillantern");
    // Qt's own dialogs (the colour dialog, the report's button) speak the
    // user's language, as the system's dialogs do on Windows; the window's
    // own texts stay as they are. The C locale has no translation to look
    // for (Qt's texts are its own).
    QTranslator qt_translation;
    if (QLocale().language() != QLocale::C &&
        qt_translation.load(QLocale(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qt_translation);
    }

    fonts.Join();
    quill::qt::FormWidget window;
    window.show();
    const int status = QApplication::exec();
    const int exit_code = window.ExitCode() != 0 ? window.ExitCode() : status;
    // The copied value outlives the window, as it does on Windows.
    quill::qt::HandOverClipboardAtExit(exit_code == 0, command_line.display);
    return exit_code;
}
