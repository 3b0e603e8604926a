#pragma once

#include "FileResultModel.h"
#include "FolderTree.h"
#include "MatchLineModel.h"
#include "ResultList.h"

#include <QRect>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPushButton;

namespace qv {

// The main window's controls, named as the program's documents name them, their layout and the
// menus. Built once into the window; the window connects them to its handlers.
struct MainForm {
    ResultList* lstFiles1 = nullptr;
    ResultList* lstLines1 = nullptr;
    QLabel* lblMatches = nullptr;
    FolderTree* Dir1 = nullptr;
    QComboBox* cboSearch = nullptr;
    QLineEdit* txtFilespec = nullptr;
    QGroupBox* grpFileTypes = nullptr;
    QCheckBox* chkTextFiles = nullptr;
    QCheckBox* chkBinaryFiles = nullptr;
    QComboBox* cboRegExp = nullptr;
    QGroupBox* grpOptions = nullptr;
    QCheckBox* chkInclSub = nullptr;
    QCheckBox* chkSearchListed = nullptr;
    QCheckBox* chkSearchZip = nullptr;
    QCheckBox* chkCase = nullptr;
    QCheckBox* chkWord = nullptr;
    QCheckBox* chkLiteral = nullptr;
    QPushButton* cmdSearch = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdStop = nullptr;
    QLabel* pnlStatus = nullptr;
    QMenu* mnuFilesPopup = nullptr;
    // Menu entries.
    QAction* RetrieveSearch1 = nullptr;
    QAction* SaveSearch1 = nullptr;
    QAction* Refresh1 = nullptr;
    QAction* Preferences1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Contents1 = nullptr;
    QAction* About1 = nullptr;
    QAction* View1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Edit1 = nullptr;
    FileResultModel files1;
    MatchLineModel lines1;

    // Creates the controls and the menus, with their texts, hints and initial states.
    void build(QMainWindow& window);
    // The designed layout, or the compact one on an 800-wide or 600-high screen.
    void place(QMainWindow& window, const QRect& screen);
    [[nodiscard]] bool compactLayout() const { return compact_; }

private:
    void buildMenus(QMainWindow& window);
    bool compact_ = false;
};

} // namespace qv
