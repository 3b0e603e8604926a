#pragma once

#include <QAbstractScrollArea>
#include <QColor>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// A read-only text box for files of any size: it holds the bytes and the start of each displayed
// line, and lays out only the lines on screen, so a 100 MB file opens at once. Offsets are byte
// offsets into the text it was given; lines end at LF. With word wrap on, long lines are broken at
// the width of the box and every broken piece is a displayed line of its own.
class TextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TextView(QWidget* parent = nullptr);

    // The text to show; `utf8` decodes it as UTF-8, otherwise byte for byte (Latin-1).
    void setText(std::string text, bool utf8);
    [[nodiscard]] const std::string& text() const { return text_; }
    void setWordWrap(bool on);
    void setTextColor(const QColor& c);
    // Byte ranges drawn in the highlight colour.
    struct Range {
        std::int64_t begin;
        std::int64_t end;
    };
    void setHighlights(std::vector<Range> ranges, const QColor& color);

    // Displayed lines.
    [[nodiscard]] int lineCount() const { return static_cast<int>(lines_.size()); }
    [[nodiscard]] int lineOfOffset(std::int64_t offset) const;
    [[nodiscard]] std::int64_t lineStart(int line) const;
    // The length of the displayed line holding `offset`, without its line break.
    [[nodiscard]] std::int64_t lineLength(std::int64_t offset) const;
    [[nodiscard]] int firstVisibleLine() const;
    [[nodiscard]] int visibleLines() const;
    void scrollLines(int delta);

    // The caret, with an empty selection.
    [[nodiscard]] std::int64_t caret() const { return caret_; }
    [[nodiscard]] std::int64_t selectionStart() const { return std::min(caret_, anchor_); }
    void setCaret(std::int64_t offset);
    [[nodiscard]] std::string selectedText() const;

    // Characters of one displayed line drawn at most; the rest of a longer line is not shown.
    static constexpr int kMaxDrawnChars = 100000;

signals:
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Shaped {
        QString chars; // tabs expanded
        std::vector<std::int64_t> at; // byte offset of each character, and one past the last
    };
    Shaped shape(int line) const;
    void layout();
    void updateScrollBars();
    std::int64_t lineEnd(int line) const; // without the line break
    std::int64_t offsetAt(const QPoint& viewportPos) const;
    int xOf(const Shaped& s, std::int64_t offset) const;
    void moveCaret(std::int64_t offset, bool extend);
    void ensureCaretVisible();

    std::string text_;
    bool utf8_ = true;
    bool wrap_ = false;
    std::vector<std::int64_t> lines_{0};
    std::int64_t longestLine_ = 0;
    std::int64_t caret_ = 0;
    std::int64_t anchor_ = 0;
    std::vector<Range> highlights_;
    QColor textColor_ = Qt::black;
    QColor highColor_ = Qt::red;
    int layoutWidth_ = -1;
};

} // namespace qv
