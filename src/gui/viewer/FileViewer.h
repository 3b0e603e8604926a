#pragma once

#include "platform/Utf16Decoder.h"
#include "search/FileRow.h"
#include "store/PreferenceSet.h"

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace qv {

class Messages;
class TextView;

// The file viewer: one listed file with the last search's matches coloured, opened at a chosen
// match, stepping from match to match. A text file's matching lines are coloured whole; a binary
// file is shown cleaned of unprintable bytes, its matches coloured exactly.
class TfrmViewer : public QDialog {
    Q_OBJECT
public:
    // What the viewer reads from the program when it opens.
    struct Input {
        std::string path; // CurrentFilePath
        FileRow row; // the selected result row (its Type and Size)
        std::string pattern; // the last search's prepared pattern
        bool caseSensitive = false; // the case box as it is now
        PreferenceSet preferences;
        QRect screen; // the screen's geometry
    };

    // Matches recorded at most; the limit of an opening is also never above MaxMatches.
    static constexpr int kMatchCapacity = 5000;
    // The most bytes of a file the viewer shows.
    static constexpr std::uint64_t kMaxViewerBytes = std::uint64_t{128} << 20;

    TfrmViewer(Input input, Messages& messages, QWidget* parent = nullptr);

    // Loads, searches, colours and positions (done when the window first shows). False when the
    // file cannot be shown; the failure has been reported and the viewing ends.
    bool FormShow();
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
    bool loadText();
    bool loadBinary();
    void position();
    void edtFileSelectionChange();
    // The file's bytes, at most `limit` (and kMaxViewerBytes) of them.
    bool readFile(std::uint64_t limit, std::string& bytes, bool& truncated);
    // The text shown: the file's bytes, or the UTF-8 of a UTF-16 file.
    bool readText(std::string& text, bool& truncated);
    bool readUtf16(int fd, platform::ByteOrder order, std::string& text, bool& truncated);
    void fail();

    Input input_;
    Messages& messages_;
    bool shown_ = false;
};

// The binary view's cleaning of a file's bytes: WordPerfect and OLE documents first, then every
// control byte but tab, LF, form feed and CR removed, and every byte from 127 up.
std::string CleanBinaryText(std::string bytes);

} // namespace qv
