#pragma once

#include <QTreeView>

namespace qv {

// A report-style list: grid lines, whole-row selection of one row, read-only, the selection
// visible without the focus. Tells about left clicks (anywhere, empty space too) and key releases.
class ResultList : public QTreeView {
    Q_OBJECT
public:
    explicit ResultList(QWidget* parent = nullptr);

    // The selected row, or -1.
    [[nodiscard]] int selectedRow() const;
    void selectRow(int row);

signals:
    void leftClicked();
    void keyReleased(int key);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

} // namespace qv
