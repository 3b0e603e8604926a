#pragma once

#include "MainForm.h"
#include "ProgramState.h"
#include "search/SearchRequest.h"
#include "search/SearchRun.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>

class QWidget;

namespace qv {

class Messages;

// Drives a search run from the main window. The run works on threads of its own; its results
// come back to the window's thread in batches on a short timer, so the window repaints, moves and
// answers Stop throughout, and a million rows do not mean a million repaints. While a run goes
// on, every command that reads or changes what it works on is disabled.
class SearchController : public QObject {
    Q_OBJECT
public:
    SearchController(MainForm& form, ProgramState& state, Messages& messages, QWidget& owner);
    ~SearchController() override;

    // The Search button: checks the request and, when it is accepted, starts the run.
    void start(const SearchRequest& request);
    // The Stop button.
    void stop();
    [[nodiscard]] bool running() const { return run_ != nullptr; }
    // Stops a run and waits for it (the window is closing): what it found is still shown, no
    // message box is.
    void finishNow();

    // Rows are handed to the list at least this often while a run goes on.
    static constexpr int kBatchMilliseconds = 30;

private:
    class QueueSink;

    void drain();
    void runStarting();
    void runEnded(RunSummary summary, bool quiet);
    void setCommandsEnabled(bool enabled);

    MainForm& form_;
    ProgramState& state_;
    Messages& messages_;
    QWidget& owner_;
    std::unique_ptr<QueueSink> sink_;
    std::unique_ptr<SearchRun> run_;
    QTimer timer_;
    std::string decimalSeparator_; // the run's, for its summary
    std::deque<std::string> pendingErrors_; // archives whose error box is still to show
    std::optional<RunSummary> pendingSummary_; // the run ended; shown once its boxes are
    bool showingMessage_ = false;
};

} // namespace qv
