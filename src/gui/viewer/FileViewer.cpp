#include "FileViewer.h"

#include "TextView.h"
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
#include <chrono>
#include <future>
#include <thread>

namespace qv {

// The reading and searching of the file, on a thread of its own.
struct TfrmViewer::Loading {
    std::stop_source stop;
    std::promise<ViewerContent> promise;
    std::future<ViewerContent> content = promise.get_future();
    std::thread thread;
};

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

TfrmViewer::~TfrmViewer()
{
    if (!loading_)
        return;
    loading_->stop.request_stop();
    loading_->thread.join();
    QApplication::restoreOverrideCursor();
}

void TfrmViewer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        startLoading();
    }
}

void TfrmViewer::fail()
{
    QApplication::restoreOverrideCursor();
    messages_.show(this, QStringLiteral("Quorvane"), QStringLiteral("Cannot open file %1").arg(ToQString(input_.path)), BoxIcon::Warning);
}

void TfrmViewer::prepare()
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
    edtFile->setWordWrap(IsBinaryView);
}

int TfrmViewer::matchLimit() const
{
    return std::min(input_.preferences.MaxMatches, kMatchCapacity);
}

bool TfrmViewer::FormShow()
{
    prepare();
    return showContent(LoadViewerContent(input_, IsBinaryView, matchLimit()));
}

void TfrmViewer::startLoading()
{
    prepare();
    loading_ = std::make_unique<Loading>();
    Loading& l = *loading_;
    l.thread = std::thread([this, &l, stop = l.stop.get_token()] {
        l.promise.set_value(LoadViewerContent(input_, IsBinaryView, matchLimit(), stop));
        // Queued: runs on the window's thread, and not at all once the viewer is gone.
        QMetaObject::invokeMethod(this, &TfrmViewer::finishLoading, Qt::QueuedConnection);
    });
    if (l.content.wait_for(std::chrono::milliseconds(kWaitMilliseconds)) == std::future_status::ready) {
        finishLoading();
        return;
    }
    cmdPrev->setEnabled(false);
    cmdNext->setEnabled(false);
}

void TfrmViewer::finishLoading()
{
    if (!loading_)
        return; // shown already
    const std::unique_ptr<Loading> l = std::move(loading_);
    l->thread.join();
    cmdPrev->setEnabled(true);
    cmdNext->setEnabled(true);
    if (!showContent(l->content.get()))
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

// Puts what was read and found into the window, and goes to the first match.
bool TfrmViewer::showContent(ViewerContent content)
{
    if (!content.readable) {
        fail();
        return false;
    }
    if (content.truncated)
        setWindowTitle(windowTitle() + QStringLiteral(" (the first 128 MB)"));
    edtFile->setText(std::move(content.text), content.utf8);
    MatchCount = static_cast<int>(content.matchKeys.size());
    MatchKeys = std::move(content.matchKeys);
    LineStarts = std::move(content.lineStarts);
    edtFile->setHighlights(std::move(content.ranges), ColorFromStored(input_.preferences.ViewerHighColor));
    if (IsBinaryView) {
        lblLine->hide();
    } else {
        lblLine->setText(QStringLiteral("Line 1"));
        lblLine->show();
    }
    position();
    QApplication::restoreOverrideCursor();
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
