#pragma once

#include "search/SearchRun.h"

#include <functional>
#include <string>
#include <vector>

namespace qvtest {

// A search host that records what the window would show.
class RecordingHost : public qv::SearchHost {
public:
    struct Message {
        std::string caption;
        std::string text;
        qv::MessageIcon icon;
    };

    std::vector<qv::FileResultRow> rows;
    std::vector<std::string> statuses;
    std::vector<Message> messages;
    std::vector<std::string> history;
    std::vector<std::string> calls; // the order of the control-state calls
    std::function<void()> onEvents; // runs at each pump, e.g. to press Stop
    std::optional<qv::RunOutcome> outcome;
    int pumps = 0;

    void RunStarting() override { calls.push_back("starting"); }
    void AddToHistory(const std::string& t) override { history.push_back(t); }
    std::vector<qv::FileResultRow> VisibleRows() override { return rows; }
    void ClearResults() override
    {
        calls.push_back("clear");
        rows.clear();
    }
    void AddRow(const qv::FileResultRow& row) override { rows.push_back(row); }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void ProcessEvents() override
    {
        ++pumps;
        if (onEvents)
            onEvents();
    }
    void ShowMessage(const std::string& caption, const std::string& text, qv::MessageIcon icon) override
    {
        calls.push_back("message");
        messages.push_back(Message{caption, text, icon});
    }
    void RunStopped() override { calls.push_back("stopped"); }
    void RunEnded(qv::RunOutcome o) override
    {
        calls.push_back("ended");
        outcome = o;
    }

    // Rows as "name|matches|type" for compact comparisons.
    [[nodiscard]] std::vector<std::string> brief() const
    {
        std::vector<std::string> out;
        for (const auto& r : rows)
            out.push_back(r.FileName + "|" + r.Matches + "|" + r.Type);
        return out;
    }
};

} // namespace qvtest
