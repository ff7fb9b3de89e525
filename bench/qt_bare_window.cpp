// The Qt start-up floor: the bare fixed 320 x 184 window, with no widget in
// it. What Qt itself costs before any control is built.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("Quillantern bare window");
    window.setFixedSize(320, 184);
    window.show();
    return QApplication::exec();
}
