#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvane");
    QLabel window("Quorvane");
    window.setWindowTitle("Quorvane");
    window.resize(914, 651);
    window.show();
    return QApplication::exec();
}
