// norva-empty-window: the least a Qt Widgets program does to show a window and save its image,
// the yardstick for the start of NorvaViewer --screenshot (bench/run-window-start).
//
//   norva-empty-window OUT.png WIDTH HEIGHT

#include <QApplication>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("usage: norva-empty-window OUT.png WIDTH HEIGHT\n", stderr);
        return 64;
    }
    QWidget window;
    window.setFixedSize(std::atoi(argv[2]), std::atoi(argv[3]));
    window.show();
    QApplication::processEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
