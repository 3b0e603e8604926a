// Starts the main window on a sample folder, runs a search and saves pictures of the window, so
// the layout can be looked at. Used by scripts/screenshot.
//   qv_screenshot OUTPUT-FOLDER
#include "window/MainWindow.h"
#include "dialogs/PrintDialog.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

class SilentMessages : public qv::Messages {
public:
    qv::MessageAnswer show(QWidget*, const QString& caption, const QString& text, qv::BoxIcon, qv::MessageButtons) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return qv::MessageAnswer::Ok;
    }
};

void save(QWidget& w, const QString& file)
{
    QApplication::processEvents();
    w.grab().save(file);
    std::fprintf(stderr, "saved %s\n", qPrintable(file));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: qv_screenshot OUTPUT-FOLDER\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    qvtest::TempDir sample;
    sample.write("notes.txt", "The quick brown fox\njumps over the lazy dog.\nA second fox appears.\n");
    sample.write("src/main.c", "int main(void)\n{\n    return fox();\n}\n");
    sample.write("data.bin", std::string("\x01\x02 binary fox data \x00 more fox", 30));
    sample.write("readme.md", "No animals here.\n");
    qvtest::TempDir registry;
    SilentMessages messages;
    qv::TfrmMain::Setup setup;
    setup.arguments = {QString::fromStdString(sample.path())};
    setup.messages = &messages;
    setup.registryPath = registry.path() + "registry.db";
    qv::TfrmMain w(setup);
    w.show();
    save(w, out + QStringLiteral("/main-empty.png"));
    w.cboSearch->setCurrentText(QStringLiteral("fox"));
    w.chkInclSub->setChecked(true);
    w.cmdSearch->click();
    while (w.searching())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    w.lstFiles1->selectRow(0);
    w.lstFiles1Click();
    while (w.listing())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    save(w, out + QStringLiteral("/main-results.png"));

    // The Print/Export dialog, then both reports as PDF files (scripts/screenshot turns their
    // pages into pictures) and as exported text.
    w.frmPrint->show();
    save(*w.frmPrint, out + QStringLiteral("/print-dialog.png"));
    w.frmPrint->hide();
    const struct {
        int choice;
        const char* name;
    } reports[] = {{0, "report-files"}, {2, "report-matches"}};
    for (const auto& r : reports) {
        w.printer().setOutputFormat(QPrinter::PdfFormat);
        w.printer().setOutputFileName(out + "/" + r.name + ".pdf");
        w.state().Report.choice = r.choice;
        w.state().Report.preview = false;
        w.state().Report.exportFile.clear();
        w.ProduceReport();
        w.state().Report.exportFile = QString(out + "/" + r.name + ".txt").toStdString();
        w.ProduceReport();
        std::fprintf(stderr, "saved %s/%s.pdf and .txt\n", qPrintable(out), r.name);
    }
    return 0;
}
