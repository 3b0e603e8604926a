#include "SearchController.h"

#include "search/RunTexts.h"
#include "widgets/Messages.h"
#include "widgets/Text.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <mutex>

namespace qv {

// Takes the run's events on its threads and keeps them for the window's thread.
class SearchController::QueueSink final : public SearchSink {
public:
    explicit QueueSink(SearchController& controller) : controller_(controller) { }

    struct Events {
        std::vector<FileRow> rows;
        std::optional<RunProgress> progress; // only the latest is worth showing
        std::vector<std::string> archiveErrors;
        std::optional<RunSummary> finished;
    };

    void progress(const RunProgress& p) override
    {
        std::lock_guard lock(mutex_);
        events_.progress = p;
    }

    void row(FileRow row, std::vector<MatchLine>) override
    {
        std::lock_guard lock(mutex_);
        events_.rows.push_back(std::move(row));
    }

    void archiveError(const std::string& archive, const std::string&) override
    {
        std::lock_guard lock(mutex_);
        events_.archiveErrors.push_back(archive);
    }

    void finished(const RunSummary& summary) override
    {
        {
            std::lock_guard lock(mutex_);
            events_.finished = summary;
        }
        // The end is shown at once, not at the next tick.
        QMetaObject::invokeMethod(
            &controller_, [c = &controller_] { c->drain(); }, Qt::QueuedConnection);
    }

    Events take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, Events{});
    }

private:
    SearchController& controller_;
    std::mutex mutex_;
    Events events_;
};

SearchController::SearchController(MainForm& form, ProgramState& state, Messages& messages, QWidget& owner)
    : form_(form), state_(state), messages_(messages), owner_(owner), sink_(std::make_unique<QueueSink>(*this))
{
    timer_.setInterval(kBatchMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &SearchController::drain);
}

SearchController::~SearchController()
{
    // The run must not outlive the sink it reports to.
    run_.reset();
}

void SearchController::start(const SearchRequest& request)
{
    if (running())
        return;
    const RequestVerdict verdict = PrepareRequest(request);
    if (!verdict.accepted) {
        messages_.show(&owner_, ToQString(verdict.caption), ToQString(verdict.message), BoxIcon::Warning);
        return;
    }
    runStarting();
    const QString typed = form_.cboSearch->currentText();
    form_.cboSearch->insertItem(0, ToQString(request.SearchText));
    form_.cboSearch->setCurrentText(typed);
    state_.SearchText = request.SearchText;
    state_.Pattern = verdict.pattern;

    // Everything the run reads is copied now.
    RunSetup setup;
    setup.request = request;
    setup.regex = verdict.regex;
    setup.targets.folders.push_back(request.StartDirectory);
    if (request.SearchListed)
        setup.listedRows = form_.files1.rows();
    else
        setup.foldersToDelete = std::exchange(state_.TempDirList, {});
    setup.maxMatchLen = state_.Preferences.MaxMatchLen < 0 ? 0 : static_cast<std::uint64_t>(state_.Preferences.MaxMatchLen);
    setup.temporaryFolder = [base = state_.TempBase] { return base; };
    decimalSeparator_ = state_.Locale.decimalSeparator;
    form_.files1.clear(DateTimeFormat(state_.DateTimeDisplayFormat, state_.Locale));
    form_.lines1.clear();

    run_ = std::make_unique<SearchRun>(std::move(setup), *sink_);
    run_->start();
    timer_.start();
}

void SearchController::stop()
{
    if (run_)
        run_->requestStop();
}

void SearchController::finishNow()
{
    if (!run_)
        return;
    run_->requestStop();
    run_->wait();
    QueueSink::Events e = sink_->take();
    form_.files1.append(std::move(e.rows));
    pendingErrors_.clear();
    if (e.finished)
        pendingSummary_ = e.finished;
    runEnded(pendingSummary_.value_or(RunSummary{}), true);
}

void SearchController::runStarting()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    form_.cmdStop->setGeometry(form_.cmdSearch->geometry());
    form_.cmdStop->show();
    form_.cmdStop->raise();
    form_.lblMatches->hide();
    form_.cboRegExp->setCurrentIndex(-1);
    form_.lstFiles1->setEnabled(true);
    form_.lstLines1->setEnabled(false);
    form_.cmdPrint->setEnabled(false);
    setCommandsEnabled(false);
}

void SearchController::setCommandsEnabled(bool enabled)
{
    for (QAction* a : {form_.RetrieveSearch1, form_.SaveSearch1, form_.Refresh1, form_.Preferences1, form_.View1, form_.Open1, form_.Edit1})
        a->setEnabled(enabled);
}

void SearchController::drain()
{
    if (!run_)
        return;
    QueueSink::Events e = sink_->take();
    form_.files1.append(std::move(e.rows));
    if (e.progress)
        form_.pnlStatus->setText(ToQString(ProgressText(*e.progress)));
    pendingErrors_.insert(pendingErrors_.end(), e.archiveErrors.begin(), e.archiveErrors.end());
    if (e.finished)
        pendingSummary_ = e.finished;
    // A message box runs an event loop of its own, in which this is called again: rows keep
    // coming, the boxes wait their turn.
    if (showingMessage_)
        return;
    while (!pendingErrors_.empty()) {
        const std::string archive = pendingErrors_.front();
        pendingErrors_.pop_front();
        showingMessage_ = true;
        messages_.show(&owner_, QString::fromLatin1(kArchiveErrorCaption), ToQString(ArchiveErrorText(archive)), BoxIcon::Warning);
        showingMessage_ = false;
        if (!run_)
            return;
    }
    if (pendingSummary_)
        runEnded(*pendingSummary_, false);
}

void SearchController::runEnded(RunSummary summary, bool quiet)
{
    timer_.stop();
    run_->wait();
    run_.reset();
    pendingSummary_.reset();
    state_.LastRun = summary;
    state_.TempDirList.insert(state_.TempDirList.end(), summary.extractionFolders.begin(), summary.extractionFolders.end());
    form_.pnlStatus->setText(ToQString(SummaryText(summary, decimalSeparator_)));
    form_.cmdStop->hide();
    QApplication::restoreOverrideCursor();
    setCommandsEnabled(true);
    const RunOutcome outcome = summary.outcome();
    if (auto text = OutcomeText(outcome); text && !quiet)
        messages_.show(&owner_, QStringLiteral("Message"), ToQString(*text), BoxIcon::Information);
    if (outcome == RunOutcome::Matches) {
        form_.chkSearchListed->setEnabled(true);
        form_.lstFiles1->setFocus();
        form_.lstFiles1->selectRow(0);
        form_.cmdPrint->setEnabled(true);
    } else {
        form_.lstFiles1->setEnabled(false);
        form_.chkSearchListed->setEnabled(false);
    }
    form_.chkSearchListed->setChecked(false);
}

} // namespace qv
