#pragma once

#include <QAbstractItemModel>

#include <memory>
#include <string>
#include <vector>

namespace qv {

// The folder tree: a first node "Desktop" (not a folder, so it cannot be searched) holding the
// home folder, the file system "/" and the mount points under /media and /mnt. Folders are read
// when a node is expanded, hidden ones included; the model does not watch the disk.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit FolderTreeModel(QObject* parent = nullptr);
    ~FolderTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The first node ("Desktop").
    [[nodiscard]] QModelIndex firstNode() const;
    // The node of an existing folder, reading folders on the way; invalid when there is none.
    QModelIndex indexOfPath(const std::string& path);
    // The folder of a node, ending in "/"; empty for a node that is not a folder.
    [[nodiscard]] std::string pathOf(const QModelIndex& index) const;
    // Reads everything again from the disk.
    void reload();

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    void load(Node* node) const;
    void build();

    std::unique_ptr<Node> root_;
};

} // namespace qv
