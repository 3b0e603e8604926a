#include "SearchInputs.h"

#include "MainForm.h"
#include "widgets/Text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace qv {

SearchRequest SearchInputs::request() const
{
    SearchRequest r;
    r.StartDirectory = form_.Dir1->selectedPath();
    r.RootSelected = form_.Dir1->isFirstNodeSelected();
    r.SelectedCaption = ToBytes(form_.Dir1->selectedCaption());
    r.FileSpecs = ToBytes(form_.txtFilespec->text());
    r.SearchText = ToBytes(form_.cboSearch->currentText());
    r.InclSub = form_.chkInclSub->isChecked();
    r.SearchListed = form_.chkSearchListed->isChecked();
    r.SearchZip = form_.chkSearchZip->isChecked();
    r.Case = form_.chkCase->isChecked();
    r.Word = form_.chkWord->isChecked();
    r.Literal = form_.chkLiteral->isChecked();
    r.TextFiles = form_.chkTextFiles->isChecked();
    r.BinaryFiles = form_.chkBinaryFiles->isChecked();
    return r;
}

SavedSearch SearchInputs::saved() const
{
    SearchOptions o;
    o.TextFiles = form_.chkTextFiles->isChecked();
    o.BinaryFiles = form_.chkBinaryFiles->isChecked();
    o.InclSub = form_.chkInclSub->isChecked();
    o.SearchZip = form_.chkSearchZip->isChecked();
    o.Case = form_.chkCase->isChecked();
    o.Word = form_.chkWord->isChecked();
    o.Literal = form_.chkLiteral->isChecked();
    return SavedSearch{form_.Dir1->selectedPath(), ToBytes(form_.cboSearch->currentText()), ToBytes(form_.txtFilespec->text()),
                       OptionLetters(o)};
}

void SearchInputs::apply(const SavedSearch& s)
{
    form_.cboSearch->setCurrentText(ToQString(s.SearchText));
    form_.txtFilespec->setText(ToQString(s.FileSpecs));
    const SearchOptions o = OptionsFromLetters(s.Options);
    form_.chkTextFiles->setChecked(o.TextFiles);
    form_.chkBinaryFiles->setChecked(o.BinaryFiles);
    form_.chkInclSub->setChecked(o.InclSub);
    form_.chkSearchZip->setChecked(o.SearchZip);
    form_.chkCase->setChecked(o.Case);
    form_.chkWord->setChecked(o.Word);
    form_.chkLiteral->setChecked(o.Literal);
}

bool SearchInputs::selectFolder(const std::string& folder)
{
    FolderTree& tree = *form_.Dir1;
    const std::string previous = tree.selectedPath();
    const bool wasFirst = tree.isFirstNodeSelected();
    if (tree.selectPath(folder))
        return true;
    if (!previous.empty())
        tree.selectPath(previous);
    else if (!wasFirst)
        tree.setCurrentIndex({});
    return false;
}

void SearchInputs::insertToken(const QString& item)
{
    const QString token = item.left(item.indexOf(QLatin1Char(' ')));
    QLineEdit* edit = form_.cboSearch->lineEdit();
    const int caret = edit->cursorPosition();
    edit->setText(edit->text() + token);
    edit->setCursorPosition(caret);
}

} // namespace qv
