#pragma once

#include "widgets/Choosers.h"
#include "store/PreferenceSet.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTextEdit;

namespace qv {

class Messages;
class NumberField;
class PathField;

// The preferences: limits, hints, editor, start folder, viewer colours and the three fonts. The
// "Change" and colour buttons change the in-memory set at once; "&OK" takes the fields, saves
// everything and reads it back; "&Cancel" writes nothing.
class TfrmPreferences : public QDialog {
    Q_OBJECT
public:
    TfrmPreferences(PreferenceSet& preferences, platform::RegistryHive& hive, Messages& messages, Choosers choosers,
                    std::function<void()> applyMatchFont, QWidget* parent = nullptr);
    ~TfrmPreferences() override;

    void FormShow();
    void ShowSampleColors();
    void cmdMatchFontClick();
    void cmdViewerFontClick();
    void cmdPrintFontClick();
    void cmdTextColorClick();
    void cmdHighColorClick();
    void txtEditorExit();
    void txtStartupDirExit();
    void cmdOKClick();
    void cmdCancelClick();

    QTabWidget* pages = nullptr;
    NumberField* txtMaxMatchLen = nullptr;
    NumberField* txtMaxMatches = nullptr;
    QCheckBox* chkShowHint = nullptr;
    PathField* txtEditor = nullptr;
    PathField* txtStartupDir = nullptr;
    QPushButton* cmdTextColor = nullptr;
    QPushButton* cmdHighColor = nullptr;
    QTextEdit* edtSample = nullptr;
    QLabel* lblMatchFont = nullptr;
    QLabel* lblViewerFont = nullptr;
    QLabel* lblPrintFont = nullptr;
    QPushButton* cmdMatchFont = nullptr;
    QPushButton* cmdViewerFont = nullptr;
    QPushButton* cmdPrintFont = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    void changeFont(std::string& name, std::int32_t& size, QLabel* label);
    static void showFont(QLabel* label, const std::string& name, std::int32_t size);

    PreferenceSet& prefs_;
    platform::RegistryHive& hive_;
    Messages& messages_;
    Choosers choosers_;
    std::function<void()> applyMatchFont_;
};

} // namespace qv
