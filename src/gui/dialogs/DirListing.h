#pragma once

#include <QDialog>

#include <string>
#include <utility>

class QLabel;
class QListWidget;
class QPushButton;

namespace qv {

class TfrmMain;

// "Files in Directory": the ordinary files of the folder selected in the main window's tree;
// "&Select" appends the chosen names to the file specification.
class TfrmDirListing : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDirListing(TfrmMain& main);

    void cmdSelectClick();

    QLabel* lblDirName1 = nullptr;
    QLabel* lblDirName2 = nullptr;
    QListWidget* File1 = nullptr;
    QPushButton* cmdSelect = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    TfrmMain& main_;
};

// The folder path on two lines for a label `width` pixels wide: whole on the first when it fits,
// otherwise split after a "/" so that the first line is about as wide as the label.
std::pair<QString, QString> SplitPath(const QString& path, const QFontMetrics& metrics, int width);

} // namespace qv
