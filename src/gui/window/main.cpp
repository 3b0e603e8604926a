// Program start: the application title, the 640-pixel refusal, the windows, the message loop.
#include "widgets/HintSwitch.h"
#include "MainWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane"));
    qv::installHintSwitch(app);

    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr && screen->geometry().width() == 640) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quorvane"),
                        QStringLiteral("Quorvane has detected that your video resolution\nis set to 640 x 480.  It requires the "
                                       "resolution to be set at 800 x 600 \nor higher in order to run.  Please change your "
                                       "resolution using\nControl Panel/Display/Settings then start the program again."),
                        QMessageBox::Ok);
        box.exec();
        return 0;
    }

    qv::TfrmMain::Setup setup;
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    setup.arguments = arguments;
    qv::TfrmMain frmMain(setup);
    frmMain.show();
    return QApplication::exec();
}
