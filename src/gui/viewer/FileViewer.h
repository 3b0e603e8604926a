#pragma once

#include "ViewerContent.h"

#include <QDialog>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace qv {

class Messages;
class TextView;

// The file viewer: one listed file with the last search's matches coloured, opened at a chosen
// match, stepping from match to match. A text file's matching lines are coloured whole; a binary
// file is shown cleaned of unprintable bytes, its matches coloured exactly. Opened, it reads and
// searches the file on a thread of its own: a file done within a few milliseconds shows at once,
// a longer one (a big file, a pattern the automaton gives up on) shows a busy cursor while the
// windows go on, and closing the viewer meanwhile stops the work.
class TfrmViewer : public QDialog {
    Q_OBJECT
public:
    using Input = ViewerInput;

    // Matches recorded at most; the limit of an opening is also never above MaxMatches.
    static constexpr int kMatchCapacity = 5000;
    static constexpr std::uint64_t kMaxViewerBytes = qv::kMaxViewerBytes;
    // How long the viewer waits for its file before it shows and lets the windows go on.
    static constexpr int kWaitMilliseconds = 30;

    TfrmViewer(Input input, Messages& messages, QWidget* parent = nullptr);
    ~TfrmViewer() override;

    // Loads, searches, colours and positions, then returns. False when the file cannot be shown;
    // the failure has been reported. (Shown, the viewer does the same off the window's thread.)
    bool FormShow();
    // The file is still being read and searched.
    [[nodiscard]] bool loading() const { return loading_ != nullptr; }
    void StepToMatch(char direction); // 'N' or 'P'

    std::int32_t StartMatch = -1;
    bool IsBinaryView = false;
    int MatchCount = 0;
    std::vector<std::int64_t> MatchKeys; // display offsets (binary) or line indexes (text)
    std::vector<std::int64_t> LineStarts;

    TextView* edtFile = nullptr;
    QLabel* lblLine = nullptr;
    QPushButton* cmdPrev = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Loading;
    void prepare();
    [[nodiscard]] int matchLimit() const;
    bool showContent(ViewerContent content);
    void startLoading();
    void finishLoading();
    void position();
    void edtFileSelectionChange();
    void fail();

    Input input_;
    Messages& messages_;
    bool shown_ = false;
    std::unique_ptr<Loading> loading_;
};

} // namespace qv
