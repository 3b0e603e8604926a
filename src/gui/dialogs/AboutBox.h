#pragma once

#include <QDialog>

namespace qv {

// The About box: the program's name, its version and OK.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
};

} // namespace qv
