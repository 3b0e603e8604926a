#include "FolderTreeModel.h"

#include "platform/FileKind.h"
#include "platform/NameOrder.h"
#include "platform/PathParts.h"
#include "platform/UniqueDir.h"
#include "widgets/Text.h"

#include <QDir>
#include <QFileIconProvider>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

struct FolderTreeModel::Node {
    QString caption;
    std::string path; // ends in "/"; empty for the "Desktop" node
    Node* parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;
    bool loaded = false;

    Node* add(QString c, std::string p)
    {
        auto n = std::make_unique<Node>();
        n->caption = std::move(c);
        n->path = std::move(p);
        n->parent = this;
        n->row = static_cast<int>(children.size());
        children.push_back(std::move(n));
        return children.back().get();
    }
};

namespace {

std::vector<std::string> subfolders(const std::string& path)
{
    std::vector<std::string> names;
    const platform::UniqueDir d(path);
    if (!d)
        return names;
    while (const dirent* e = d.next()) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        bool dir = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st { };
            dir = ::fstatat(d.fd(), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (dir)
            names.push_back(name);
    }
    platform::NameOrder::System().sort(names, [](const std::string& n) -> std::string_view { return n; });
    return names;
}

// Mounted file systems under /media and /mnt, from the kernel's mount table.
std::vector<std::string> mountPoints()
{
    std::vector<std::string> points;
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device, w;
        if (!(fields >> device >> w))
            continue;
        // Blanks and the like come octal-escaped ("\040").
        std::string decoded;
        const auto octal = [](char c) { return c >= '0' && c <= '7'; };
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (w[i] == '\\' && i + 3 < w.size() && octal(w[i + 1]) && octal(w[i + 2]) && octal(w[i + 3])) {
                decoded += static_cast<char>((w[i + 1] - '0') * 64 + (w[i + 2] - '0') * 8 + (w[i + 3] - '0'));
                i += 3;
            } else {
                decoded += w[i];
            }
        }
        if (decoded.rfind("/media/", 0) == 0 || decoded.rfind("/mnt/", 0) == 0)
            points.push_back(decoded + "/");
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

std::string homeFolder()
{
    QString home = QDir::homePath();
    std::string h = ToBytes(home);
    if (h.empty() || h.back() != '/')
        h += '/';
    return h;
}

std::vector<std::string> components(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos < path.size()) {
        const std::size_t slash = path.find('/', pos);
        const std::string part = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        if (slash == std::string::npos)
            break;
        pos = slash + 1;
    }
    return parts;
}

} // namespace

FolderTreeModel::FolderTreeModel(QObject* parent) : QAbstractItemModel(parent)
{
    build();
}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::build()
{
    root_ = std::make_unique<Node>();
    root_->loaded = true;
    Node* desktop = root_->add(QStringLiteral("Desktop"), {});
    desktop->loaded = true;
    desktop->add(QStringLiteral("Home"), homeFolder());
    desktop->add(QStringLiteral("File System"), "/");
    for (const std::string& m : mountPoints())
        desktop->add(ToQString(platform::FileNameOf(std::string_view(m).substr(0, m.size() - 1))), m);
}

void FolderTreeModel::reload()
{
    beginResetModel();
    build();
    endResetModel();
}

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : root_.get();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    Node* p = nodeOf(parent);
    if (column != 0 || row < 0 || row >= static_cast<int>(p->children.size()))
        return {};
    return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    Node* p = nodeOf(child)->parent;
    if (p == nullptr || p == root_.get())
        return {};
    return createIndex(p->row, 0, p);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const
{
    return static_cast<int>(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Node* n = nodeOf(index);
    if (role == Qt::DisplayRole)
        return n->caption;
    if (role == Qt::DecorationRole) {
        static QFileIconProvider icons;
        return n->path.empty() ? icons.icon(QFileIconProvider::Desktop)
                               : (n->path == "/" ? icons.icon(QFileIconProvider::Drive) : icons.icon(QFileIconProvider::Folder));
    }
    if (role == Qt::ToolTipRole && !n->path.empty())
        return ToQString(n->path);
    return {};
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    const Node* n = nodeOf(parent);
    return !n->loaded || !n->children.empty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const
{
    return !nodeOf(parent)->loaded;
}

void FolderTreeModel::load(Node* node) const
{
    if (node->loaded)
        return;
    node->loaded = true;
    for (const std::string& name : subfolders(node->path))
        node->add(ToQString(name), node->path + name + "/");
}

void FolderTreeModel::fetchMore(const QModelIndex& parent)
{
    Node* n = nodeOf(parent);
    if (n->loaded)
        return;
    const std::vector<std::string> names = subfolders(n->path);
    n->loaded = true;
    if (names.empty()) {
        // The expand arrow goes away.
        emit dataChanged(parent, parent);
        return;
    }
    beginInsertRows(parent, 0, static_cast<int>(names.size()) - 1);
    for (const std::string& name : names)
        n->add(ToQString(name), n->path + name + "/");
    endInsertRows();
}

QModelIndex FolderTreeModel::firstNode() const
{
    return index(0, 0);
}

std::string FolderTreeModel::pathOf(const QModelIndex& index) const
{
    return index.isValid() ? nodeOf(index)->path : std::string();
}

QModelIndex FolderTreeModel::indexOfPath(const std::string& path)
{
    if (path.empty() || path.front() != '/' || platform::KindOf(path) != platform::FileKind::Directory)
        return {};
    std::string wanted = "/";
    for (const std::string& part : components(path))
        wanted += part + "/";
    // Start from the deepest top folder that holds the path.
    Node* desktop = root_->children.front().get();
    Node* best = nullptr;
    for (const auto& top : desktop->children)
        if (wanted.rfind(top->path, 0) == 0 && (best == nullptr || top->path.size() > best->path.size()))
            best = top.get();
    if (best == nullptr)
        return {};
    Node* node = best;
    for (const std::string& part : components(wanted.substr(best->path.size()))) {
        const QModelIndex idx = createIndex(node->row, 0, node);
        if (!node->loaded)
            fetchMore(idx);
        Node* next = nullptr;
        for (const auto& c : node->children)
            if (c->path == node->path + part + "/")
                next = c.get();
        if (next == nullptr)
            return {};
        node = next;
    }
    return createIndex(node->row, 0, node);
}

} // namespace qv
