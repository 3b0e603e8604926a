#include "TextView.h"

#include "platform/Utf8.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

constexpr int kMargin = 4;
constexpr int kTabColumns = 8;

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// One character from UTF-8 at p (at most `left` bytes); its length in *len. Malformed bytes read
// as themselves, one by one.
char32_t decodeUtf8(const unsigned char* p, std::size_t left, int* len)
{
    if (const auto c = platform::DecodeUtf8(std::string_view(reinterpret_cast<const char*>(p), left))) {
        *len = static_cast<int>(c->length);
        return c->code;
    }
    *len = 1;
    return p[0];
}

} // namespace

TextView::TextView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void TextView::setText(std::string text, bool utf8)
{
    text_ = std::move(text);
    utf8_ = utf8;
    caret_ = anchor_ = 0;
    highlights_.clear();
    layout();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    emit selectionChanged();
}

void TextView::setWordWrap(bool on)
{
    wrap_ = on;
    setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    layout();
    viewport()->update();
}

void TextView::setTextColor(const QColor& c)
{
    textColor_ = c;
    viewport()->update();
}

void TextView::setHighlights(std::vector<Range> ranges, const QColor& color)
{
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.begin < b.begin; });
    highlights_ = std::move(ranges);
    highColor_ = color;
    viewport()->update();
}

void TextView::layout()
{
    lines_.clear();
    lines_.push_back(0);
    longestLine_ = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
    const auto n = static_cast<std::int64_t>(text_.size());
    layoutWidth_ = viewport()->width();
    if (!wrap_) {
        std::int64_t start = 0;
        while (start <= n) {
            const void* lf = start < n ? std::memchr(bytes + start, '\n', static_cast<std::size_t>(n - start)) : nullptr;
            const std::int64_t end = lf != nullptr ? static_cast<const unsigned char*>(lf) - bytes : n;
            longestLine_ = std::max(longestLine_, end - start);
            if (lf == nullptr)
                break;
            start = end + 1;
            lines_.push_back(start);
        }
    } else {
        // Greedy word wrap with the width of each byte looked up once.
        const QFontMetrics fm(font());
        int widths[256];
        for (int b = 0; b < 256; ++b)
            widths[b] = fm.horizontalAdvance(QChar(static_cast<char16_t>(b)));
        widths['\t'] = fm.horizontalAdvance(QLatin1Char(' ')) * kTabColumns;
        const int avail = std::max(40, viewport()->width() - 2 * kMargin);
        std::int64_t lineStart = 0;
        int x = 0;
        std::int64_t afterSpace = -1;
        int xAfterSpace = 0;
        for (std::int64_t i = 0; i < n; ++i) {
            const unsigned char b = bytes[i];
            if (b == '\n') {
                lines_.push_back(i + 1);
                lineStart = i + 1;
                x = 0;
                afterSpace = -1;
                continue;
            }
            const int w = widths[b];
            if (x + w > avail && i > lineStart) {
                if (afterSpace > lineStart) {
                    lines_.push_back(afterSpace);
                    x -= xAfterSpace;
                    lineStart = afterSpace;
                } else {
                    lines_.push_back(i);
                    x = 0;
                    lineStart = i;
                }
                afterSpace = -1;
            }
            x += w;
            if (b == ' ') {
                afterSpace = i + 1;
                xAfterSpace = x;
            }
        }
    }
    updateScrollBars();
}

std::int64_t TextView::lineEnd(int line) const
{
    const std::size_t l = static_cast<std::size_t>(line);
    if (l + 1 < lines_.size()) {
        const std::int64_t next = lines_[l + 1];
        // A line that ends at LF stops before it; a wrapped piece ends where the next begins.
        return next > 0 && text_[static_cast<std::size_t>(next - 1)] == '\n' ? next - 1 : next;
    }
    return static_cast<std::int64_t>(text_.size());
}

int TextView::lineOfOffset(std::int64_t offset) const
{
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), offset);
    return static_cast<int>(std::max<std::ptrdiff_t>(0, (it - lines_.begin()) - 1));
}

std::int64_t TextView::lineStart(int line) const
{
    line = std::clamp(line, 0, lineCount() - 1);
    return lines_[static_cast<std::size_t>(line)];
}

std::int64_t TextView::lineLength(std::int64_t offset) const
{
    const int line = lineOfOffset(offset);
    return lineEnd(line) - lineStart(line);
}

int TextView::visibleLines() const
{
    return std::max(1, viewport()->height() / std::max(1, fontMetrics().lineSpacing()));
}

int TextView::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

void TextView::scrollLines(int delta)
{
    verticalScrollBar()->setValue(verticalScrollBar()->value() + delta);
}

void TextView::updateScrollBars()
{
    verticalScrollBar()->setRange(0, std::max(0, lineCount() - visibleLines()));
    verticalScrollBar()->setPageStep(visibleLines());
    verticalScrollBar()->setSingleStep(1);
    if (!wrap_) {
        const std::int64_t chars = std::min<std::int64_t>(longestLine_, kMaxDrawnChars);
        const int width = static_cast<int>(std::min<std::int64_t>(chars * fontMetrics().averageCharWidth() + 2 * kMargin, 1 << 24));
        horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
        horizontalScrollBar()->setPageStep(viewport()->width());
        horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 4);
    }
}

TextView::Shaped TextView::shape(int line) const
{
    Shaped s;
    const std::int64_t begin = lineStart(line);
    const std::int64_t end = lineEnd(line);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
    int column = 0;
    std::int64_t i = begin;
    while (i < end && s.chars.size() < kMaxDrawnChars) {
        if (bytes[i] == '\t') {
            const int spaces = kTabColumns - column % kTabColumns;
            for (int k = 0; k < spaces; ++k) {
                s.chars.append(QLatin1Char(' '));
                s.at.push_back(i);
            }
            column += spaces;
            ++i;
            continue;
        }
        int len = 1;
        const char32_t c = utf8_ ? decodeUtf8(bytes + i, static_cast<std::size_t>(end - i), &len) : bytes[i];
        const QString piece = c < 0x10000 ? QString(QChar(static_cast<char16_t>(c))) : QString::fromUcs4(&c, 1);
        for (int k = 0; k < piece.size(); ++k) {
            s.chars.append(piece[k]);
            s.at.push_back(i);
        }
        ++column;
        i += len;
    }
    s.at.push_back(i);
    return s;
}

int TextView::xOf(const Shaped& s, std::int64_t offset) const
{
    const auto it = std::lower_bound(s.at.begin(), s.at.end() - 1, offset);
    const auto k = static_cast<int>(it - s.at.begin());
    return kMargin + fontMetrics().horizontalAdvance(s.chars.left(k));
}

std::int64_t TextView::offsetAt(const QPoint& pos) const
{
    const int lh = std::max(1, fontMetrics().lineSpacing());
    const int line = std::clamp(firstVisibleLine() + std::max(0, pos.y()) / lh, 0, lineCount() - 1);
    const Shaped s = shape(line);
    const int x = pos.x() + horizontalScrollBar()->value() - kMargin;
    int acc = 0;
    for (int k = 0; k < s.chars.size(); ++k) {
        const int w = fontMetrics().horizontalAdvance(s.chars[k]);
        if (acc + w / 2 >= x)
            return s.at[static_cast<std::size_t>(k)];
        acc += w;
    }
    return s.at.back();
}

void TextView::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const QFontMetrics fm(font());
    const int lh = std::max(1, fm.lineSpacing());
    const int dx = wrap_ ? 0 : horizontalScrollBar()->value();
    const int first = firstVisibleLine();
    const int last = std::min(lineCount() - 1, first + viewport()->height() / lh + 1);
    const std::int64_t selFrom = std::min(caret_, anchor_), selTo = std::max(caret_, anchor_);
    const QColor selBack = palette().color(QPalette::Highlight);
    const QColor selText = palette().color(QPalette::HighlightedText);
    for (int line = first; line <= last; ++line) {
        const int top = (line - first) * lh;
        const Shaped s = shape(line);
        // Runs of one colour: the highlight colour inside a highlighted range, the selection's inside it.
        auto hl = std::upper_bound(highlights_.begin(), highlights_.end(), s.at.front(),
                                   [](std::int64_t v, const Range& r) { return v < r.end; });
        int x = kMargin - dx;
        int k = 0;
        while (k < s.chars.size()) {
            const std::int64_t at = s.at[static_cast<std::size_t>(k)];
            while (hl != highlights_.end() && hl->end <= at)
                ++hl;
            const bool high = hl != highlights_.end() && hl->begin <= at;
            const bool selected = at >= selFrom && at < selTo;
            int j = k + 1;
            while (j < s.chars.size()) {
                const std::int64_t a = s.at[static_cast<std::size_t>(j)];
                const bool h = hl != highlights_.end() && hl->begin <= a && a < hl->end;
                if (h != high || (a >= selFrom && a < selTo) != selected)
                    break;
                ++j;
            }
            const QString run = s.chars.mid(k, j - k);
            const int w = fm.horizontalAdvance(run);
            if (x + w >= 0 && x < viewport()->width()) {
                if (selected)
                    p.fillRect(QRect(x, top, w, lh), selBack);
                p.setPen(selected ? selText : (high ? highColor_ : textColor_));
                p.drawText(x, top + fm.ascent(), run);
            }
            x += w;
            k = j;
            if (x > viewport()->width())
                break;
        }
        if (hasFocus() && caret_ == anchor_ && lineOfOffset(caret_) == line) {
            const int cx = xOf(s, caret_) - dx;
            p.setPen(textColor_);
            p.drawLine(cx, top, cx, top + lh - 1);
        }
    }
}

void TextView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (wrap_ && viewport()->width() != layoutWidth_) {
        const std::int64_t keep = lineStart(firstVisibleLine());
        layout();
        verticalScrollBar()->setValue(lineOfOffset(keep));
    } else {
        updateScrollBars();
    }
}

void TextView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        layout();
        viewport()->update();
    }
}

void TextView::setCaret(std::int64_t offset)
{
    caret_ = anchor_ = std::clamp<std::int64_t>(offset, 0, static_cast<std::int64_t>(text_.size()));
    viewport()->update();
    emit selectionChanged();
}

std::string TextView::selectedText() const
{
    const std::int64_t a = std::min(caret_, anchor_), b = std::max(caret_, anchor_);
    return text_.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
}

void TextView::moveCaret(std::int64_t offset, bool extend)
{
    caret_ = std::clamp<std::int64_t>(offset, 0, static_cast<std::int64_t>(text_.size()));
    if (!extend)
        anchor_ = caret_;
    ensureCaretVisible();
    viewport()->update();
    emit selectionChanged();
}

void TextView::ensureCaretVisible()
{
    const int line = lineOfOffset(caret_);
    if (line < firstVisibleLine())
        verticalScrollBar()->setValue(line);
    else if (line >= firstVisibleLine() + visibleLines())
        verticalScrollBar()->setValue(line - visibleLines() + 1);
    if (!wrap_) {
        const int x = xOf(shape(line), caret_);
        if (x < horizontalScrollBar()->value())
            horizontalScrollBar()->setValue(x - kMargin);
        else if (x > horizontalScrollBar()->value() + viewport()->width() - kMargin)
            horizontalScrollBar()->setValue(x - viewport()->width() + 2 * kMargin);
    }
}

void TextView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        const std::string t = selectedText();
        QApplication::clipboard()->setText(utf8_ ? QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()))
                                                 : QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())));
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        anchor_ = 0;
        caret_ = static_cast<std::int64_t>(text_.size());
        viewport()->update();
        emit selectionChanged();
        return;
    }
    const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    const int line = lineOfOffset(caret_);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
    const auto size = static_cast<std::int64_t>(text_.size());
    auto sameColumn = [&](int target) {
        target = std::clamp(target, 0, lineCount() - 1);
        const int x = xOf(shape(line), caret_);
        const int lh = std::max(1, fontMetrics().lineSpacing());
        const int dx = wrap_ ? 0 : horizontalScrollBar()->value();
        verticalScrollBar()->setValue(std::clamp(verticalScrollBar()->value(), target - visibleLines() + 1, target));
        return offsetAt(QPoint(x - dx, (target - firstVisibleLine()) * lh + lh / 2));
    };
    switch (event->key()) {
    case Qt::Key_Left: {
        std::int64_t o = caret_;
        if (o > 0)
            --o;
        while (utf8_ && o > 0 && isContinuation(bytes[o]))
            --o;
        moveCaret(o, extend);
        return;
    }
    case Qt::Key_Right: {
        std::int64_t o = caret_;
        if (o < size)
            ++o;
        while (utf8_ && o < size && isContinuation(bytes[o]))
            ++o;
        moveCaret(o, extend);
        return;
    }
    case Qt::Key_Up: moveCaret(sameColumn(line - 1), extend); return;
    case Qt::Key_Down: moveCaret(sameColumn(line + 1), extend); return;
    case Qt::Key_PageUp: moveCaret(sameColumn(line - visibleLines()), extend); return;
    case Qt::Key_PageDown: moveCaret(sameColumn(line + visibleLines()), extend); return;
    case Qt::Key_Home: moveCaret(ctrl ? 0 : lineStart(line), extend); return;
    case Qt::Key_End: moveCaret(ctrl ? size : lineEnd(line), extend); return;
    default: QAbstractScrollArea::keyPressEvent(event);
    }
}

void TextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        moveCaret(offsetAt(event->position().toPoint()), (event->modifiers() & Qt::ShiftModifier) != 0);
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void TextView::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) != 0)
        moveCaret(offsetAt(event->position().toPoint()), true);
}

} // namespace qv
