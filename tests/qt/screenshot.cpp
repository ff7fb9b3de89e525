// make screenshot: the Linux window after picking orange through the real
// colour dialog, saved as a PNG.
//   qt_screenshot OUTPUT.png
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimer>

#include "qt/form_widget.hpp"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    quill::qt::FormWidget window;
    window.show();
    QTimer confirm;
    QObject::connect(&confirm, &QTimer::timeout, [&confirm] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        confirm.stop();
        dialog->setCurrentColor(QColor(255, 128, 0));
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QTimer::singleShot(200, [&] {
        confirm.start(10);
        static_cast<QPushButton*>(window.Control(quill::kIdCommand1))->click();
        QTimer::singleShot(100, [&] { QApplication::exit(window.grab().save(argv[1]) ? 0 : 1); });
    });
    return QApplication::exec();
}
