#pragma once

#include "store/SavedSearches.h"

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace qv {

class TfrmMain;

// "Retrieve Search": the saved searches, newest first; puts one back into the main window's inputs
// or deletes one. Keeps the stored value while open; deleting writes it back.
class TfrmSearches : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSearches(TfrmMain& main);

    void FormActivate();
    void RetrieveSelected();
    void cmdDeleteClick();

    QTreeWidget* lstSearches = nullptr;
    QPushButton* cmdRetrieve = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void changeEvent(QEvent* event) override;

private:
    [[nodiscard]] int selectedRow() const;

    TfrmMain& main_;
    std::string value_; // the stored value as last read
    std::vector<SavedSearch> rows_;
};

// "&Save Search" of the main window: the current inputs stored as the newest record.
void SaveSearch(TfrmMain& main);

} // namespace qv
