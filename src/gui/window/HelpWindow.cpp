#include "HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace qv {

QString HelpFilePath(const QString& programFolder)
{
    const QString name = QStringLiteral("quorvane-help.html");
    const QString installed = QDir::cleanPath(programFolder + QStringLiteral("/../share/quorvane/") + name);
    const QString beside = QDir::cleanPath(programFolder + QLatin1Char('/') + name);
    return !QFileInfo::exists(installed) && QFileInfo::exists(beside) ? beside : installed;
}

HelpWindow::HelpWindow(const QString& helpFile, QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this))
{
    setWindowTitle(QStringLiteral("Quorvane Help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setOpenExternalLinks(true);
    if (QFileInfo::exists(helpFile)) {
        browser_->setSource(QUrl::fromLocalFile(helpFile));
        loaded_ = true;
    } else {
        browser_->setPlainText(QStringLiteral("The help file %1 cannot be found.").arg(helpFile));
    }
    resize(720, 600);
}

} // namespace qv
