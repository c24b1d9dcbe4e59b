// empty_qt_window: one empty window and nothing else, the least a Qt 6 Widgets program holds in
// memory. idle_memory_bench measures the idle player against it.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.show();
    return app.exec();
}
