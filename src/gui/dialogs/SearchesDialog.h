#pragma once

#include "platform/RegistryHive.h"
#include "store/SavedSearches.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace qv {

class Messages;

// "Retrieve Search": the saved searches, newest first; hands one back for the search inputs, or
// deletes one. Keeps the stored value while open; deleting writes it back.
class TfrmSearches : public QDialog {
    Q_OBJECT
public:
    // Selects a search's folder where the search will run; false when there is no such folder.
    using FolderSelector = std::function<bool(const std::string& folder)>;

    TfrmSearches(platform::RegistryHive& registry, Messages& messages, FolderSelector selectFolder, QWidget* parent);

    // The search chosen with "&Retrieve", once the dialog has closed.
    [[nodiscard]] const std::optional<SavedSearch>& retrieved() const { return retrieved_; }

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

    platform::RegistryHive& registry_;
    Messages& messages_;
    FolderSelector selectFolder_;
    std::string value_; // the stored value as last read
    std::vector<SavedSearch> rows_;
    std::optional<SavedSearch> retrieved_;
};

// "&Save Search": the search inputs stored as the newest record, and the user told.
void SaveSearch(const SavedSearch& search, platform::RegistryHive& registry, Messages& messages, QWidget* owner);

} // namespace qv
