// An empty Qt Widgets program: a main window of Quenor's default size that
// waits for nothing. The yardstick of bench/idle_cost.sh.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1000, 720);
    window.show();
    return app.exec();
}
