#pragma once

#include "FolderTreeModel.h"

#include <QTreeView>

#include <string>

namespace qv {

// The folder tree of the main window (Dir1) with the operations the program uses on it.
class FolderTree : public QTreeView {
    Q_OBJECT
public:
    explicit FolderTree(QWidget* parent = nullptr);

    // Selects an existing folder (expanding and scrolling to it); otherwise selects the first node
    // and returns false.
    bool selectPath(const std::string& path);
    // The selected folder's path ending in "/", or empty when the selection is not a folder.
    [[nodiscard]] std::string selectedPath() const;
    [[nodiscard]] QString selectedCaption() const;
    [[nodiscard]] bool isFirstNodeSelected() const;
    void scrollToFirstNode();
    // Reads the folders again from the disk, keeping the selected folder selected.
    void reRead();
    [[nodiscard]] FolderTreeModel& folders() { return model_; }

signals:
    void rightButtonPressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    FolderTreeModel model_;
};

} // namespace qv
