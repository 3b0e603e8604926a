#include "MatchListLoader.h"

#include "widgets/Text.h"

#include <QCheckBox>
#include <QLabel>

#include <chrono>
#include <future>
#include <stop_token>
#include <thread>

namespace qv {

struct MatchListLoader::Job {
    std::uint64_t id = 0;
    FileRow row;
    std::stop_source stop;
    std::promise<MatchListing> promise;
    std::future<MatchListing> result = promise.get_future();
    bool cursor = false; // the window shows a busy cursor while it goes on
    std::thread thread;
};

MatchListLoader::MatchListLoader(MainForm& form, const ProgramState& state, const QRect& screen)
    : form_(form), state_(state), screen_(screen)
{
}

MatchListLoader::~MatchListLoader()
{
    cancel();
}

void MatchListLoader::load()
{
    const int selected = form_.lstFiles1->selectedRow();
    if (selected < 0)
        return;
    cancel();
    job_ = std::make_unique<Job>();
    Job* job = job_.get();
    job->id = ++jobs_;
    job->row = form_.files1.row(selected);
    const PreferenceSet& prefs = state_.Preferences;
    const ListingParameters parameters{state_.Pattern, form_.chkCase->isChecked(), prefs.MaxMatchLen, prefs.MaxMatches};
    job->thread = std::thread([this, job, parameters, stop = job->stop.get_token()] {
        MatchLister lister(parameters, stop);
        job->promise.set_value(lister.list(job->row));
        // Queued: runs on the window's thread, and not at all once this object is gone.
        QMetaObject::invokeMethod(
            this, [this, id = job->id] { finish(id); }, Qt::QueuedConnection);
    });
    if (job->result.wait_for(std::chrono::milliseconds(kWaitMilliseconds)) == std::future_status::ready) {
        finish(job->id);
        return;
    }
    // Until it is done the list shows no other file's lines, which a double click or a report
    // could take for this one's.
    form_.lines1.clear();
    form_.lstLines1->setEnabled(false);
    form_.lblMatches->hide();
    job->cursor = true;
    form_.lstFiles1->window()->setCursor(Qt::BusyCursor);
}

void MatchListLoader::finish(std::uint64_t id)
{
    if (!job_ || job_->id != id)
        return; // cancelled, or shown already
    const std::unique_ptr<Job> job = std::move(job_);
    job->thread.join();
    if (job->cursor)
        form_.lstFiles1->window()->unsetCursor();
    show(job->row, job->result.get());
}

void MatchListLoader::cancel()
{
    if (!job_)
        return;
    const std::unique_ptr<Job> job = std::move(job_);
    job->stop.request_stop();
    job->thread.join();
    if (job->cursor)
        form_.lstFiles1->window()->unsetCursor();
}

void MatchListLoader::show(const FileRow& row, MatchListing listing)
{
    QWidget* list = form_.lstLines1;
    list->setUpdatesEnabled(false);
    form_.lines1.setRows(std::move(listing.lines));
    const int numberWidth = listing.binary ? 0 : (screen_.width() > 800 ? 60 : 45);
    form_.lstLines1->setColumnWidth(0, numberWidth);
    form_.lstLines1->setColumnHidden(0, numberWidth == 0);
    form_.lstLines1->setColumnWidth(1, std::max(0, form_.lstLines1->viewport()->width() - numberWidth - 4));
    form_.lblMatches->setText(ToQString(MatchesLabel(row)));
    form_.lblMatches->show();
    form_.lstLines1->setEnabled(true);
    list->setUpdatesEnabled(true);
}

} // namespace qv
