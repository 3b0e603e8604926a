#include "Launcher.h"

#include <QDesktopServices>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace qv {

Launcher::OpenResult DesktopLauncher::open(const std::string& path)
{
    const QString file = QFile::decodeName(path.c_str());
    // No default application for the file's type means nothing can open it.
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) {
        const QString type = QMimeDatabase().mimeTypeForFile(file).name();
        QProcess query;
        query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
        if (query.waitForFinished(5000) && query.exitStatus() == QProcess::NormalExit &&
            query.readAllStandardOutput().trimmed().isEmpty())
            return OpenResult::NoAssociation;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file)) ? OpenResult::Opened : OpenResult::Failed;
}

void DesktopLauncher::startDetached(const QString& program, const QStringList& arguments)
{
    QProcess::startDetached(program, arguments);
}

QStringList EditorCommand(const QString& editor, const QString& file)
{
    QStringList parts = QProcess::splitCommand(editor);
    if (parts.isEmpty())
        return {};
    parts.append(file);
    return parts;
}

} // namespace qv
