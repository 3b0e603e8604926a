// Program start: the application title, the 640-pixel refusal, the windows, the message loop.
#include "platform/EndRequests.h"
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
    int status = 0;
    {
        // Ended by the session or `kill`: the windows close as if the user had closed them, so
        // a run stops and extracted files go, and a dialog open at the time changes nothing.
        // Watched for before the window makes its temporary folder.
        const qv::platform::EndRequests endRequests([&app](int) {
            QMetaObject::invokeMethod(
                &app,
                [] {
                    QApplication::closeAllWindows();
                    QCoreApplication::exit(1);
                },
                Qt::QueuedConnection);
        });
        qv::TfrmMain frmMain(setup);
        frmMain.show();
        status = QApplication::exec();
        if (qv::platform::EndRequests::Received() != 0)
            frmMain.close(); // a message box that would not close may have kept it open
    }
    // The private temporary folder has gone with the window: now end as the signal asked.
    if (const int signal = qv::platform::EndRequests::Received())
        qv::platform::EndRequests::EndAs(signal);
    return status;
}
