// make bench, Qt side: what each start-up step of the Linux program costs,
// timed in one process in the order the program takes them, beside what the
// same-widgets baseline does instead. One line per step, "name<TAB>ms";
// bench/qt_startup.py runs it several times and takes the medians.
//   qt_startup_steps
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <dlfcn.h>

#include <cstdio>

#include "bench/baseline_widgets.hpp"
#include "qt/form_widget.hpp"
#include "qt/window_icon.hpp"

namespace {

QElapsedTimer clock_;

void Step(const char* name, qint64 since) {
    std::printf("%s\t%.3f\n", name, double(clock_.nsecsElapsed() - since) / 1e6);
}

// Stops the clock at the first paint event of the watched window.
class FirstPaint final : public QObject {
public:
    explicit FirstPaint(qint64 since) : since_(since) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            Step("show to the first paint event", since_);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    qint64 since_;
    bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    clock_.start();
    // Both programs have fontconfig read its configuration and caches; the
    // same-widgets program at its first text, Quillantern on a second
    // thread beside QApplication. Timed here on its own, before Qt.
    qint64 t = clock_.nsecsElapsed();
    if (auto* init = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "FcInit"))) init();
    Step("fontconfig reads its configuration (both; Quillantern beside QApplication)", t);

    t = clock_.nsecsElapsed();
    QApplication application(argc, argv);
    Step("QApplication (both programs)", t);

    t = clock_.nsecsElapsed();
    QTranslator translation;
    if (QLocale().language() != QLocale::C) {
        (void)translation.load(QLocale(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
    Step("translation lookup, as the program does it", t);
    t = clock_.nsecsElapsed();
    QTranslator unconditional;
    (void)unconditional.load(QLocale(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    Step("translation lookup in any locale (before)", t);

    // The first widgets pay for the style and the font database, whichever
    // program builds them; the second time shows the widgets' own cost.
    for (const char* name : {"the fifteen plain widgets, first (style, Qt's font list: both programs)",
                             "the fifteen plain widgets again (the baseline's window)"}) {
        t = clock_.nsecsElapsed();
        QWidget baseline;
        AddBaselineWidgets(baseline);
        Step(name, t);
    }

    t = clock_.nsecsElapsed();
    const QIcon built_in = quill::qt::WindowIcon();
    (void)built_in.pixmap(16);
    (void)built_in.pixmap(32);
    Step("window icon from built-in drawings, 16 and 32 px drawn", t);

    // The fonts' first use: the desktop's font both programs draw with (the
    // baseline at its first paint), and its condensed face, which the window
    // loads where the desktop's font does not fit the layout.
    QFont font = QGuiApplication::font();
    t = clock_.nsecsElapsed();
    (void)QFontMetrics(font).horizontalAdvance("Selecteaza culoarea..");
    Step("desktop font, first text measured (both programs)", t);
    font.setStretch(QFont::Condensed);
    t = clock_.nsecsElapsed();
    (void)QFontMetrics(font).horizontalAdvance("Selecteaza culoarea..");
    Step("its condensed face, first text measured (where the desktop font does not fit)", t);

    t = clock_.nsecsElapsed();
    quill::qt::FormWidget window;
    Step("Quillantern's window, fonts loaded (controls, icon, font fitting, frame hints)", t);

    t = clock_.nsecsElapsed();
    FirstPaint first_paint(t);
    window.installEventFilter(&first_paint);
    window.show();
    QApplication::exec();

    // Last, as it loads every image-format plugin installed.
    t = clock_.nsecsElapsed();
    QIcon from_files;
    for (const int size : {16, 32, 48, 64})
        from_files.addFile(QString(QUILL_ICON_FOLDER "/quillantern-%1.png").arg(size));
    (void)from_files.pixmap(16);
    (void)from_files.pixmap(32);
    Step("window icon from PNG files (before), 16 and 32 px drawn", t);
    return 0;
}
