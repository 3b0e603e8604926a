#include "FileViewer.h"

#include "TextView.h"
#include "platform/UniqueFd.h"
#include "platform/Utf16Decoder.h"
#include "platform/Utf8.h"
#include "regex/BufferSearch.h"
#include "regex/LineSearch.h"
#include "search/SearchFile.h"
#include "widgets/Colors.h"
#include "widgets/Icons.h"
#include "widgets/Messages.h"
#include "widgets/Text.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

bool isStripped(unsigned char b)
{
    return (b < 32 && b != 9 && b != 10 && b != 12 && b != 13) || b >= 127;
}

// Does `what` occur at `at` in `text`, a '?' in it standing for any one character?
bool occursAt(const std::string& text, std::size_t at, const std::string& what)
{
    for (std::size_t k = 0; k < what.size(); ++k)
        if (what[k] != '?' && text[at + k] != what[k])
            return false;
    return true;
}

} // namespace

std::string CleanBinaryText(std::string bytes)
{
    const auto starts = [&](std::string_view sig) { return bytes.size() >= sig.size() && bytes.compare(0, sig.size(), sig) == 0; };
    if (starts(std::string_view("\xFF\x57\x50\x43", 4))) {
        for (char& c : bytes)
            if (c == '\x80' || c == '\xCF')
                c = ' ';
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
            if (bytes[i] == '\xCC' && bytes[i + 1] == '\xCC') {
                bytes[i] = '\r';
                bytes[i + 1] = '\n';
                ++i;
            }
    }
    if (starts(std::string_view("\xD0\xCF", 2))) {
        std::string expanded;
        expanded.reserve(bytes.size() + bytes.size() / 16);
        for (char c : bytes) {
            expanded += c;
            if (c == '\r')
                expanded += '\n';
        }
        bytes = std::move(expanded);
    }
    std::size_t kept = 0;
    for (char c : bytes)
        if (!isStripped(static_cast<unsigned char>(c)))
            bytes[kept++] = c;
    bytes.resize(kept);
    return bytes;
}

TfrmViewer::TfrmViewer(Input input, Messages& messages, QWidget* parent) : QDialog(parent), input_(std::move(input)), messages_(messages)
{
    setWindowTitle(QStringLiteral("File Viewer"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    edtFile = new TextView(this);
    lblLine = new QLabel(QStringLiteral("Line 0"), this);
    cmdPrev = new QPushButton(previousIcon(), QStringLiteral("&Previous Match"), this);
    cmdNext = new QPushButton(nextIcon(), QStringLiteral("&Next Match"), this);
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    // The button row stays at the bottom; the text takes the rest.
    auto* row = new QHBoxLayout;
    row->addWidget(lblLine, 1);
    row->addWidget(cmdPrev);
    row->addWidget(cmdNext);
    row->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(edtFile, 1);
    layout->addLayout(row);
    connect(cmdPrev, &QPushButton::clicked, this, [this] { StepToMatch('P'); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { StepToMatch('N'); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtFile, &TextView::selectionChanged, this, &TfrmViewer::edtFileSelectionChange);
    resize(760, 520);
    if (!input_.screen.isEmpty())
        move(input_.screen.center() - rect().center());
}

void TfrmViewer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        if (!FormShow())
            QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    }
}

void TfrmViewer::fail()
{
    QApplication::restoreOverrideCursor();
    messages_.show(this, QStringLiteral("Quorvane"), QStringLiteral("Cannot open file %1").arg(ToQString(input_.path)), BoxIcon::Warning);
}

namespace {

// Never a FIFO or a device: the viewer must not hang on what it reads.
platform::UniqueFd openRegular(const std::string& path, struct stat& st)
{
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)))
        fd.reset();
    return fd;
}

} // namespace

// A UTF-16 file is shown as its UTF-8, decoded a block at a time, at most kMaxViewerBytes of it.
bool TfrmViewer::readUtf16(int fd, platform::ByteOrder order, std::string& text, bool& truncated)
{
    platform::Utf16Decoder decoder(order);
    std::vector<std::uint8_t> block(std::size_t{1} << 20);
    text.clear();
    truncated = false;
    for (;;) {
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        const std::size_t at = text.size();
        text.resize(at + platform::Utf16Decoder::MaxOutput(static_cast<std::size_t>(n)));
        text.resize(at +
                    decoder.decode(block.data(), static_cast<std::size_t>(n), reinterpret_cast<std::uint8_t*>(text.data() + at), n == 0));
        if (text.size() > kMaxViewerBytes) {
            // Cut between two characters.
            std::size_t cut = kMaxViewerBytes;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text.resize(cut);
            truncated = true;
            return true;
        }
        if (n == 0)
            return true;
    }
}

bool TfrmViewer::readText(std::string& text, bool& truncated)
{
    struct stat st { };
    const platform::UniqueFd fd = openRegular(input_.path, st);
    if (!fd)
        return false;
    char start[4];
    const ssize_t n = ::pread(fd.get(), start, sizeof start, 0);
    if (const auto order = platform::Utf16Mark(std::string_view(start, n > 0 ? static_cast<std::size_t>(n) : 0)))
        return readUtf16(fd.get(), *order, text, truncated);
    return readFile(UINT64_MAX, text, truncated);
}

bool TfrmViewer::readFile(std::uint64_t limit, std::string& bytes, bool& truncated)
{
    struct stat st { };
    const platform::UniqueFd file = openRegular(input_.path, st);
    if (!file)
        return false;
    const int fd = file.get();
    const std::uint64_t want = std::min<std::uint64_t>(limit, kMaxViewerBytes);
    truncated = limit > kMaxViewerBytes && static_cast<std::uint64_t>(st.st_size) > kMaxViewerBytes;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(want, static_cast<std::uint64_t>(st.st_size) + 1)));
    std::size_t got = 0;
    bool ok = true;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ok = n == 0;
            break;
        }
    }
    bytes.resize(got);
    return ok;
}

bool TfrmViewer::FormShow()
{
    if (input_.screen.width() == 800) {
        move(input_.screen.left(), input_.screen.top());
        resize(800, 575);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QFont f = edtFile->font();
    f.setFamily(ToQString(input_.preferences.ViewerFontName));
    if (input_.preferences.ViewerFontSize > 0)
        f.setPointSize(input_.preferences.ViewerFontSize);
    edtFile->setFont(f);
    edtFile->setTextColor(ColorFromStored(input_.preferences.ViewerTextColor));
    IsBinaryView = input_.row.type == FileType::Binary;
    const bool loaded = IsBinaryView ? loadBinary() : loadText();
    if (!loaded) {
        fail();
        return false;
    }
    position();
    QApplication::restoreOverrideCursor();
    return true;
}

bool TfrmViewer::loadText()
{
    edtFile->setWordWrap(false);
    std::string bytes;
    bool truncated = false;
    if (!readText(bytes, truncated))
        return false;
    if (truncated)
        setWindowTitle(windowTitle() + QStringLiteral(" (the first 128 MB)"));
    // One displayed line per line of the file: the CR of a CR LF goes, a lone CR shows as a blank.
    std::string shown;
    if (bytes.find('\r') == std::string::npos) {
        shown = std::move(bytes);
    } else {
        shown.reserve(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != '\r')
                shown += bytes[i];
            else if (i + 1 == bytes.size() || bytes[i + 1] != '\n')
                shown += ' ';
        }
        bytes.clear();
    }
    const bool utf8 = platform::IsValidUtf8(shown);
    edtFile->setText(std::move(shown), utf8);

    const int limit = std::min(input_.preferences.MaxMatches, kMatchCapacity);
    MatchCount = 0;
    MatchKeys.clear();
    LineStarts.clear();
    std::vector<TextView::Range> ranges;
    auto compiled = regex::Regex::compile(input_.pattern, input_.caseSensitive);
    Block scratch;
    auto file = SearchFile::Open(input_.path, scratch);
    if (auto* pattern = std::get_if<regex::RegexPtr>(&compiled); pattern != nullptr && file) {
        regex::LineSearch search(*pattern);
        file->StartLineSearch(search, true);
        while (MatchCount < limit && search.next()) {
            const auto index = static_cast<std::int64_t>(search.lineNumber()) - 1;
            if (index < 0 || index >= edtFile->lineCount())
                break; // beyond the part of the file shown
            ++MatchCount;
            MatchKeys.push_back(index);
            LineStarts.push_back(edtFile->lineStart(static_cast<int>(index)));
            const std::int64_t start = LineStarts.back();
            ranges.push_back({start, start + edtFile->lineLength(start)});
        }
        search.close();
    }
    edtFile->setHighlights(std::move(ranges), ColorFromStored(input_.preferences.ViewerHighColor));
    lblLine->setText(QStringLiteral("Line 1"));
    lblLine->show();
    return true;
}

bool TfrmViewer::loadBinary()
{
    edtFile->setWordWrap(true);
    const std::uint64_t size = input_.row.size;
    std::string bytes;
    bool truncated = false;
    // A file that cannot be read, or is shorter now than when it was listed, is reported.
    if (!readFile(size, bytes, truncated) || (bytes.size() < size && !truncated))
        return false;
    if (truncated)
        setWindowTitle(windowTitle() + QStringLiteral(" (the first 128 MB)"));
    const std::string clean = CleanBinaryText(std::move(bytes));
    // The box breaks lines at LF; a CR before an LF is dropped, a lone CR becomes a line break.
    std::string shown;
    shown.reserve(clean.size());
    std::vector<std::int64_t> dropped; // positions in `clean` of the CRs not shown
    for (std::size_t i = 0; i < clean.size(); ++i) {
        if (clean[i] == '\r' && i + 1 < clean.size() && clean[i + 1] == '\n') {
            dropped.push_back(static_cast<std::int64_t>(i));
            continue;
        }
        shown += clean[i] == '\r' ? '\n' : clean[i];
    }
    const auto shownAt = [&](std::int64_t o) {
        return o - static_cast<std::int64_t>(std::lower_bound(dropped.begin(), dropped.end(), o) - dropped.begin());
    };
    edtFile->setText(std::move(shown), false);

    const int limit = std::min(input_.preferences.MaxMatches, kMatchCapacity);
    MatchCount = 0;
    MatchKeys.clear();
    std::vector<TextView::Range> ranges;
    auto compiled = regex::Regex::compile(input_.pattern, input_.caseSensitive);
    if (std::holds_alternative<regex::RegexPtr>(compiled)) {
        regex::MemorySource text(clean);
        regex::BufferSearch grep(std::get<regex::RegexPtr>(compiled), text);
        // The search position is found again from the matched text: its first occurrence at or
        // after the end of the last coloured match, a '?' in it standing for any character.
        std::size_t p = 0;
        auto m = grep.RGrep(0);
        while (m && MatchCount < limit) {
            const std::size_t len = m->end - m->begin;
            if (static_cast<long long>(len) <= input_.preferences.MaxMatchLen) {
                const std::string matched = clean.substr(m->begin, len);
                // The engine found it at its begin, so the search ends there at the latest; when
                // that lies behind p, a bounded stretch after p is searched.
                const std::size_t until =
                    std::min(clean.size() - std::min(clean.size(), len), m->begin >= p ? m->begin : p + (std::size_t{64} << 10));
                std::size_t o = p;
                while (o <= until && !occursAt(clean, o, matched))
                    ++o;
                if (o <= until && o + len <= clean.size()) {
                    ++MatchCount;
                    MatchKeys.push_back(shownAt(static_cast<std::int64_t>(o)));
                    ranges.push_back({shownAt(static_cast<std::int64_t>(o)), shownAt(static_cast<std::int64_t>(o + len))});
                    p = o + len;
                }
            } else {
                p += len;
            }
            m = grep.RGrep(m->end + (m->begin == m->end ? 1 : 0));
        }
    }
    edtFile->setHighlights(std::move(ranges), ColorFromStored(input_.preferences.ViewerHighColor));
    lblLine->hide();
    return true;
}

void TfrmViewer::position()
{
    if (StartMatch < 0 || (IsBinaryView && MatchCount == 0)) {
        edtFile->setCaret(0);
        return;
    }
    if (IsBinaryView) {
        // An index beyond the recorded matches opens at the last one.
        const std::int64_t offset = MatchKeys[static_cast<std::size_t>(std::min(StartMatch, MatchCount - 1))];
        edtFile->verticalScrollBar()->setValue(edtFile->lineOfOffset(offset));
        edtFile->setCaret(offset);
        return;
    }
    const int line = std::clamp(StartMatch - 1, 0, edtFile->lineCount() - 1);
    edtFile->verticalScrollBar()->setValue(line);
    edtFile->setCaret(edtFile->lineStart(line));
}

void TfrmViewer::StepToMatch(char direction)
{
    const std::int64_t s = edtFile->selectionStart();
    const int L = edtFile->lineOfOffset(s);
    const std::int64_t key = IsBinaryView ? s : L;
    std::int64_t target = -1;
    if (direction == 'N') {
        for (int i = 0; i < MatchCount && target < 0; ++i)
            if (MatchKeys[static_cast<std::size_t>(i)] > key)
                target = MatchKeys[static_cast<std::size_t>(i)];
    } else {
        for (int i = MatchCount - 1; i >= 0 && target < 0; --i)
            if (MatchKeys[static_cast<std::size_t>(i)] < key)
                target = MatchKeys[static_cast<std::size_t>(i)];
    }
    if (target < 0)
        return;
    const int targetLine = IsBinaryView ? edtFile->lineOfOffset(target) : static_cast<int>(target);
    const std::int64_t targetOffset = IsBinaryView ? target : edtFile->lineStart(static_cast<int>(target));
    edtFile->scrollLines(targetLine - L);
    edtFile->setCaret(targetOffset);
}

void TfrmViewer::edtFileSelectionChange()
{
    if (IsBinaryView)
        return;
    lblLine->setText(QStringLiteral("Line %1").arg(edtFile->lineOfOffset(edtFile->selectionStart()) + 1));
    lblLine->repaint();
}

} // namespace qv
