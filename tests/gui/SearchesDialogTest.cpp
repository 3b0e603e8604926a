// Saving and retrieving searches through the main window.
#include "store/SavedSearches.h"
#include "dialogs/SearchesDialog.h"
#include "gui/WindowFixture.h"

#include <QPushButton>
#include <QTreeWidget>

namespace {

class SearchesDialogTest : public qvtest::WindowFixture {
protected:
    std::string storedValue()
    {
        qv::platform::RegistryHive hive(registry.path() + "registry.db");
        return qv::ReadSearches(hive);
    }
};

TEST_F(SearchesDialogTest, SavingRefusesBlanksAndStoresNewestFirst)
{
    auto w = openOnFolder();
    w->cboSearch->setCurrentText("");
    w->SaveSearch1Click();
    EXPECT_EQ(messages.boxes.back().text, "Search text and/ or file specification is blank - cannot save");
    EXPECT_EQ(messages.boxes.back().caption, "Error");
    EXPECT_EQ(storedValue(), "");
    w->cboSearch->setCurrentText("first");
    w->chkTextFiles->setChecked(true);
    w->chkBinaryFiles->setChecked(false);
    w->chkCase->setChecked(true);
    w->SaveSearch1Click();
    EXPECT_EQ(messages.boxes.back().caption, "Message");
    EXPECT_EQ(messages.boxes.back().text, "Search saved");
    w->cboSearch->setCurrentText("second");
    w->SaveSearch1Click();
    const auto rows = qv::ParseSearches(storedValue());
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0], (qv::SavedSearch{dir.path(), "second", "*.*", "XC"}));
    EXPECT_EQ(rows[1].SearchText, "first");
}

TEST_F(SearchesDialogTest, ListingRetrievingAndTheMissingFolder)
{
    dir.mkdir("other");
    auto w = openOnFolder();
    qv::platform::RegistryHive hive(registry.path() + "registry.db");
    ASSERT_EQ(qv::WriteSearches(hive, qv::RecordText({dir.path() + "other/", "quoted \"", "*.c,*.h", "CXI"}) +
                                          qv::RecordText({dir.path() + "gone/", "lost", "*.*", "X"}) +
                                          qv::RecordText({"", "no folder", "*.*", "X"})),
              std::nullopt);
    w->chkSearchListed->setEnabled(true);
    w->chkSearchListed->setChecked(true);
    w->cboSearch->addItem("history");
    withDialog<qv::TfrmSearches>([&] { w->RetrieveSearch1Click(); },
                                 [&](qv::TfrmSearches& d) {
                                     d.FormActivate(); // offscreen, a modal dialog need not become the active window
                                     ASSERT_EQ(d.lstSearches->topLevelItemCount(), 3);
                                     EXPECT_EQ(d.lstSearches->topLevelItem(0)->text(1), "*.c,*.h");
                                     EXPECT_EQ(d.lstSearches->topLevelItem(0)->text(2), "quoted \"");
                                     EXPECT_TRUE(d.cmdRetrieve->isEnabled());
                                     EXPECT_EQ(d.lstSearches->currentItem(), d.lstSearches->topLevelItem(0));

                                     d.lstSearches->setCurrentItem(d.lstSearches->topLevelItem(1));
                                     d.RetrieveSelected();
                                     EXPECT_EQ(messages.boxes.back().text, "The search directory does not exist");
                                     EXPECT_EQ(w->Dir1->selectedPath(), dir.path()); // the previous folder again
                                     d.lstSearches->setCurrentItem(d.lstSearches->topLevelItem(2));
                                     d.RetrieveSelected();
                                     EXPECT_EQ(messages.boxes.back().text, "The search directory does not exist");
                                     EXPECT_TRUE(d.isVisible());

                                     d.lstSearches->setCurrentItem(d.lstSearches->topLevelItem(0));
                                     d.RetrieveSelected();
                                     EXPECT_EQ(d.result(), QDialog::Accepted);
                                 });
    EXPECT_EQ(w->Dir1->selectedPath(), dir.path() + "other/");
    EXPECT_EQ(w->cboSearch->currentText(), "quoted \"");
    EXPECT_EQ(w->txtFilespec->text(), "*.c,*.h");
    EXPECT_TRUE(w->chkTextFiles->isChecked() && w->chkCase->isChecked() && w->chkInclSub->isChecked());
    EXPECT_FALSE(w->chkBinaryFiles->isChecked() || w->chkSearchZip->isChecked() || w->chkWord->isChecked() || w->chkLiteral->isChecked());
    EXPECT_TRUE(w->chkSearchListed->isChecked()); // untouched
    EXPECT_EQ(w->cboSearch->count(), 1); // the history too
}

TEST_F(SearchesDialogTest, DeletingRemovesEveryIdenticalRecord)
{
    auto w = openOnFolder();
    w->cboSearch->setCurrentText("same");
    w->SaveSearch1Click();
    w->SaveSearch1Click();
    w->cboSearch->setCurrentText("SAME");
    w->SaveSearch1Click();
    qv::TfrmSearches d(
        w->registry(), messages, [](const std::string&) { return true; }, w.get());
    d.FormActivate();
    ASSERT_EQ(d.lstSearches->topLevelItemCount(), 3);
    d.lstSearches->setCurrentItem(d.lstSearches->topLevelItem(1));
    d.cmdDeleteClick();
    EXPECT_EQ(d.lstSearches->topLevelItemCount(), 2); // the other copy is still listed ...
    const auto rows = qv::ParseSearches(storedValue());
    ASSERT_EQ(rows.size(), 1U); // ... but gone from the store
    EXPECT_EQ(rows[0].SearchText, "SAME");
    d.lstSearches->clearSelection();
    d.cmdDeleteClick();
    EXPECT_EQ(messages.boxes.back().text, "No search is selected");
}

TEST_F(SearchesDialogTest, AnEmptyStoreGivesADisabledList)
{
    auto w = openOnFolder();
    qv::TfrmSearches d(
        w->registry(), messages, [](const std::string&) { return true; }, w.get());
    d.FormActivate();
    EXPECT_EQ(d.lstSearches->topLevelItemCount(), 0);
    EXPECT_FALSE(d.lstSearches->isEnabled());
    EXPECT_FALSE(d.cmdRetrieve->isEnabled());
    d.RetrieveSelected();
    EXPECT_EQ(messages.boxes.back().text, "No search is selected");
}

TEST_F(SearchesDialogTest, AnyUtf8TextFolderAndMaskAreSavedAndRetrieved)
{
    // "À" and "一" hold the byte 128 in UTF-8, the byte that ends a stored search.
    const std::string folder = dir.mkdir("\xC3\x80 dossier");
    auto w = openOnFolder();
    ASSERT_TRUE(w->Dir1->selectPath(folder));
    w->cboSearch->setCurrentText(QString::fromUtf8("\xC3\x80 la \xE4\xB8\x80"));
    w->txtFilespec->setText(QString::fromUtf8("*.\xC3\x80"));
    w->SaveSearch1Click();
    EXPECT_EQ(messages.boxes.back().text, "Search saved");
    ASSERT_TRUE(w->Dir1->selectPath(dir.path()));
    w->cboSearch->setCurrentText("other");
    w->txtFilespec->setText("*.*");
    withDialog<qv::TfrmSearches>([&] { w->RetrieveSearch1Click(); },
                                 [&](qv::TfrmSearches& d) {
                                     d.FormActivate();
                                     ASSERT_EQ(d.lstSearches->topLevelItemCount(), 1);
                                     d.RetrieveSelected();
                                 });
    EXPECT_EQ(w->Dir1->selectedPath(), folder);
    EXPECT_EQ(w->cboSearch->currentText(), QString::fromUtf8("\xC3\x80 la \xE4\xB8\x80"));
    EXPECT_EQ(w->txtFilespec->text(), QString::fromUtf8("*.\xC3\x80"));
}

} // namespace
