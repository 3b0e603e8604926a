#include "RunRecorder.h"

#include <algorithm>

namespace qvtest {

void RunRecorder::progress(const qv::RunProgress& p)
{
    statuses.push_back(qv::ProgressText(p));
    maybeStop();
}

void RunRecorder::row(qv::FileRow r, std::vector<qv::MatchLine> matches)
{
    order.push_back("row " + r.name);
    rows.push_back(std::move(r));
    lines.push_back(std::move(matches));
    maybeStop();
}

void RunRecorder::archiveError(const std::string& archive, const std::string&)
{
    order.push_back("error " + archive);
    archiveErrors.push_back(archive);
    maybeStop();
}

void RunRecorder::finished(const qv::RunSummary& s)
{
    summary = s;
    ++finishedCalls;
}

void RunRecorder::maybeStop()
{
    if (stopWhen && run != nullptr && stopWhen(*this))
        run->requestStop();
}

std::vector<std::string> RunRecorder::brief() const
{
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(r.name + "|" + std::to_string(r.matches) + "|" + qv::TypeLetter(r.type));
    return out;
}

bool RunRecorder::sawStatus(const std::string& text) const
{
    return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
}

RecordedRun RunSearch(const qv::SearchRequest& request, const std::string& tempBase, const RunExtras& extras,
                      std::function<bool(const RunRecorder&)> stopWhen)
{
    RecordedRun result;
    result.verdict = qv::PrepareRequest(request);
    if (!result.verdict.accepted)
        return result;
    qv::RunSetup setup;
    setup.request = request;
    setup.regex = result.verdict.regex;
    setup.targets.folders.push_back(request.StartDirectory);
    setup.targets.files = extras.files;
    setup.listedRows = extras.listedRows;
    setup.foldersToDelete = extras.foldersToDelete;
    setup.listMatches = extras.listMatches;
    setup.maxMatchLen = extras.maxMatchLen;
    setup.temporaryFolder = [tempBase] { return tempBase; };
    setup.threads = extras.threads;
    result.out.stopWhen = std::move(stopWhen);
    qv::SearchRun run(std::move(setup), result.out);
    result.out.run = &run;
    run.run();
    result.out.run = nullptr;
    return result;
}

} // namespace qvtest
