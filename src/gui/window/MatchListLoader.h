#pragma once

#include "MainForm.h"
#include "ProgramState.h"
#include "search/MatchListing.h"

#include <QObject>
#include <QRect>

#include <cstdint>
#include <memory>

namespace qv {

// Fills the match list with the selected row's matches, listed on a thread of their own so that
// a file that takes long to list (a big one, a pattern the automaton gives up on) never freezes
// the window. A listing done within a few milliseconds shows at once, as if it had run on the
// window's thread; a longer one shows a busy cursor and fills the list when it is done, unless
// another listing, a run or a change to the list has begun meanwhile.
class MatchListLoader : public QObject {
    Q_OBJECT
public:
    MatchListLoader(MainForm& form, const ProgramState& state, const QRect& screen);
    ~MatchListLoader() override;
    MatchListLoader(const MatchListLoader&) = delete;
    MatchListLoader& operator=(const MatchListLoader&) = delete;

    // Lists the selected row of the file list, if one is.
    void load();
    // The listing going on, if any, is stopped and never shown.
    void cancel();
    [[nodiscard]] bool busy() const { return job_ != nullptr; }

    // How long load() waits for a listing before it lets the window go on.
    static constexpr int kWaitMilliseconds = 30;

private:
    struct Job;
    void finish(std::uint64_t id);
    void show(const FileRow& row, MatchListing listing);

    MainForm& form_;
    const ProgramState& state_;
    const QRect& screen_;
    std::unique_ptr<Job> job_;
    std::uint64_t jobs_ = 0; // listings started, to tell a late one from the one going on
};

} // namespace qv
