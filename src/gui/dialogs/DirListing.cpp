#include "DirListing.h"

#include "search/TreeWalker.h"
#include "widgets/Text.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace qv {
namespace {

constexpr int kLabelWidth = 300;

// The regular files of a folder that are not hidden, sorted by name.
QStringList filesOf(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = folder.empty() ? nullptr : ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.empty() || name.front() == '.')
                continue;
            struct stat st {};
            if (::fstatat(::dirfd(d), e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
                names.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end(), NameLess);
    QStringList list;
    for (const std::string& n : names)
        list.append(ToQString(n));
    return list;
}

} // namespace

std::pair<QString, QString> SplitPath(const QString& path, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return {path, QString()};
    int n = 0;
    while (n < path.size() - 1 && metrics.horizontalAdvance(path.left(n)) < width - 2)
        ++n;
    while (n > 0 && path.at(n - 1) != QLatin1Char('/'))
        --n;
    if (n == 0) // no folder break to be had: the first line takes the whole path
        return {path, QString()};
    return {path.left(n), path.mid(n)};
}

TfrmDirListing::TfrmDirListing(const std::string& folder, QString fileSpecs, QPoint bottomLeft, QWidget* parent)
    : QDialog(parent), fileSpecs_(std::move(fileSpecs))
{
    setWindowTitle(QStringLiteral("Files in Directory"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    setFont(font);
    lblDirName1 = new QLabel(this);
    lblDirName2 = new QLabel(this);
    for (QLabel* l : {lblDirName1, lblDirName2}) {
        l->setFixedWidth(kLabelWidth);
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(false);
    }
    File1 = new QListWidget(this);
    File1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    File1->setUniformItemSizes(true);
    cmdSelect = new QPushButton(QStringLiteral("&Select"), this);
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSelect);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblDirName1);
    layout->addWidget(lblDirName2);
    layout->addWidget(File1, 1);
    layout->addLayout(buttons);
    connect(cmdSelect, &QPushButton::clicked, this, &TfrmDirListing::cmdSelectClick);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    // FormCreate: the folder's files, its path on two lines, the place over the main window.
    File1->addItems(filesOf(folder));
    const auto [first, second] = SplitPath(ToQString(folder), QFontMetrics(font), kLabelWidth);
    lblDirName1->setText(first);
    lblDirName2->setText(QFontMetrics(font).elidedText(second, Qt::ElideNone, kLabelWidth));
    resize(kLabelWidth + 24, 300);
    setFixedSize(size());
    move(bottomLeft.x(), bottomLeft.y() - frameGeometry().height());
}

void TfrmDirListing::cmdSelectClick()
{
    QString& text = fileSpecs_;
    for (int i = 0; i < File1->count(); ++i) {
        if (!File1->item(i)->isSelected())
            continue;
        if (!text.isEmpty())
            text += QLatin1Char(',');
        text += File1->item(i)->text();
    }
    emit fileSpecsChanged(text);
}

} // namespace qv
