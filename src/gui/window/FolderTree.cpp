#include "FolderTree.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

namespace qv {

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent)
{
    setModel(&model_);
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::NoContextMenu);
    setDragEnabled(false);
    setUniformRowHeights(true);
    setExpanded(model_.firstNode(), true);
    // The selection stays visible when the tree loses the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
}

bool FolderTree::selectPath(const std::string& path)
{
    const QModelIndex idx = model_.indexOfPath(path);
    if (!idx.isValid()) {
        setCurrentIndex(model_.firstNode());
        return false;
    }
    for (QModelIndex p = idx.parent(); p.isValid(); p = p.parent())
        expand(p);
    setCurrentIndex(idx);
    scrollTo(idx);
    return true;
}

std::string FolderTree::selectedPath() const
{
    return model_.pathOf(currentIndex());
}

QString FolderTree::selectedCaption() const
{
    return currentIndex().isValid() ? currentIndex().data().toString() : QString();
}

bool FolderTree::isFirstNodeSelected() const
{
    return currentIndex() == model_.firstNode();
}

void FolderTree::scrollToFirstNode()
{
    scrollTo(model_.firstNode(), QAbstractItemView::PositionAtTop);
    verticalScrollBar()->setValue(0);
}

void FolderTree::reRead()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string selected = selectedPath();
    const bool wasFirst = isFirstNodeSelected();
    model_.reload();
    setExpanded(model_.firstNode(), true);
    if (!selected.empty())
        selectPath(selected);
    else if (wasFirst)
        setCurrentIndex(model_.firstNode());
    QApplication::restoreOverrideCursor();
}

void FolderTree::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        emit rightButtonPressed();
        return;
    }
    QTreeView::mousePressEvent(event);
}

} // namespace qv
