#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Configuration Tools");
    QMainWindow w;
    w.setWindowTitle("Configuration Tools");
    w.show();
    return app.exec();
}
