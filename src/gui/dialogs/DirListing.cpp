#include "DirListing.h"

#include "platform/NameOrder.h"
#include "platform/UniqueDir.h"
#include "platform/Utf8.h"
#include "widgets/Text.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <sys/stat.h>

namespace qv {
namespace {

constexpr int kLabelWidth = 300;

// What "Select" adds for a name: the name itself, or for a name that is not UTF-8 (which the
// text box cannot hold) the name with "?" for each byte that is not, which still finds it.
QString maskOf(const std::string& name)
{
    std::string mask;
    for (std::size_t i = 0; i < name.size();) {
        const auto c = platform::DecodeUtf8(std::string_view(name).substr(i));
        const std::size_t n = c ? c->length : 1;
        mask += c ? name.substr(i, n) : std::string("?");
        i += n;
    }
    return ToQString(mask);
}

// The regular files of a folder that are not hidden, sorted by name: each name shown, with the
// mask that selects it.
std::vector<std::pair<QString, QString>> filesOf(const std::string& folder)
{
    std::vector<std::string> names;
    if (const platform::UniqueDir d = folder.empty() ? platform::UniqueDir() : platform::UniqueDir(folder)) {
        while (const dirent* e = d.next()) {
            const std::string name = e->d_name;
            if (name.empty() || name.front() == '.')
                continue;
            struct stat st { };
            if (::fstatat(d.fd(), e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
                names.push_back(name);
        }
    }
    platform::NameOrder::System().sort(names, [](const std::string& n) -> std::string_view { return n; });
    std::vector<std::pair<QString, QString>> list;
    for (const std::string& n : names)
        list.emplace_back(ToQString(n), maskOf(n));
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
    for (const auto& [shown, mask] : filesOf(folder)) {
        auto* item = new QListWidgetItem(shown, File1);
        item->setData(Qt::UserRole, mask);
    }
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
        text += File1->item(i)->data(Qt::UserRole).toString();
    }
    emit fileSpecsChanged(text);
}

} // namespace qv
