#pragma once

#include "search/RunTexts.h"
#include "search/SearchRequest.h"
#include "search/SearchRun.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvtest {

// A sink that records what a run reports, and can stop the run when it has seen enough.
class RunRecorder : public qv::SearchSink {
public:
    std::vector<qv::FileRow> rows;
    std::vector<std::vector<qv::MatchLine>> lines; // per row
    std::vector<std::string> statuses; // as the status line shows them
    std::vector<std::string> archiveErrors; // archives that could not be extracted
    std::vector<std::string> order; // "row <name>" and "error <archive>" as they came
    qv::RunSummary summary;
    int finishedCalls = 0;
    // Asked after every event; true requests a stop.
    std::function<bool(const RunRecorder&)> stopWhen;
    qv::SearchRun* run = nullptr;

    void progress(const qv::RunProgress& p) override;
    void row(qv::FileRow row, std::vector<qv::MatchLine> matches) override;
    void archiveError(const std::string& archive, const std::string& detail) override;
    void finished(const qv::RunSummary& s) override;

    // Rows as "name|matches|type", in the order delivered.
    [[nodiscard]] std::vector<std::string> brief() const;
    [[nodiscard]] bool sawStatus(const std::string& text) const;

private:
    void maybeStop();
};

// What a search needs besides its request, as the window or qvsearch would give it.
struct RunExtras {
    unsigned threads = 0;
    std::vector<qv::FileRow> listedRows;
    std::vector<std::string> foldersToDelete;
    std::vector<std::string> files; // single files to search, as qvsearch names them
    bool listMatches = false;
    std::uint64_t maxMatchLen = 300;
};

// A request checked and run to its end on the calling thread, as the Search button does it.
struct RecordedRun {
    qv::RequestVerdict verdict;
    RunRecorder out;
    [[nodiscard]] bool accepted() const { return verdict.accepted; }
    [[nodiscard]] std::vector<std::string> brief() const { return out.brief(); }
};

RecordedRun RunSearch(const qv::SearchRequest& request, const std::string& tempBase, const RunExtras& extras = {},
                      std::function<bool(const RunRecorder&)> stopWhen = {});

} // namespace qvtest
