#pragma once

#include "search/SearchRequest.h"
#include "store/SavedSearches.h"

#include <QString>

#include <string>

namespace qv {

struct MainForm;

// The form's search inputs as values: what a search and a saved search take from them, and a
// retrieved search put back.
class SearchInputs {
public:
    explicit SearchInputs(MainForm& form) : form_(form) { }

    [[nodiscard]] SearchRequest request() const;
    [[nodiscard]] SavedSearch saved() const;
    // The texts and the seven option boxes; the folder is selected first (selectFolder).
    void apply(const SavedSearch& s);
    // Selects the folder in the tree; when it cannot, the tree keeps what it had.
    bool selectFolder(const std::string& folder);
    // An item of the expression list ("token  explanation"): its token goes at the end of the
    // search text, the caret stays where it was.
    void insertToken(const QString& item);

private:
    MainForm& form_;
};

} // namespace qv
