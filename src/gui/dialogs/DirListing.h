#pragma once

#include <QDialog>

#include <string>
#include <utility>

class QLabel;
class QListWidget;
class QPushButton;

namespace qv {

// "Files in Directory": the ordinary files of a folder (the one selected in the main window's
// tree); "&Select" appends the chosen names to a file specification.
class TfrmDirListing : public QDialog {
    Q_OBJECT
public:
    // `bottomLeft`: where the dialog's lower left corner goes, on the screen.
    TfrmDirListing(const std::string& folder, QString fileSpecs, QPoint bottomLeft, QWidget* parent);

    void cmdSelectClick();
    [[nodiscard]] const QString& fileSpecs() const { return fileSpecs_; }

signals:
    // The file specification with the chosen names appended.
    void fileSpecsChanged(const QString& fileSpecs);

public:
    QLabel* lblDirName1 = nullptr;
    QLabel* lblDirName2 = nullptr;
    QListWidget* File1 = nullptr;
    QPushButton* cmdSelect = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    QString fileSpecs_;
};

// The folder path on two lines for a label `width` pixels wide: whole on the first when it fits,
// otherwise split after a "/" so that the first line is about as wide as the label.
std::pair<QString, QString> SplitPath(const QString& path, const QFontMetrics& metrics, int width);

} // namespace qv
