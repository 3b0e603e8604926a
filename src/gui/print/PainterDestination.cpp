#include "PainterDestination.h"

#include "widgets/Text.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPrinter>

namespace qv::reports {

PainterDestination::PainterDestination(QPrinter& printer, const ReportFont& font) : printer_(printer), font_(font) { }

void PainterDestination::begin(const PageSetup& page)
{
    // The report's paper and orientation win over the printer's; one copy of every page.
    printer_.setFullPage(true);
    printer_.setPageSize(QPageSize(QPageSize::Letter));
    printer_.setPageOrientation(page.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer_.setCopyCount(1);
    printer_.setCollateCopies(false);
    printer_.setDuplex(QPrinter::DuplexNone);
    printer_.setPrintRange(QPrinter::AllPages);
    printer_.setPaperSource(QPrinter::Auto);
    ok_ = painter_.begin(&printer_);
    if (!ok_)
        return;
    scale_ = printer_.resolution() / 254.0;
    painter_.setPen(Qt::black);
}

void PainterDestination::startPage(int number)
{
    if (ok_ && number > 1)
        ok_ = printer_.newPage();
}

void PainterDestination::placeText(const PlacedText& t)
{
    if (!ok_ || t.text.empty())
        return;
    QString s = ToQString(t.text);
    if (s.size() > kMaxPaintedChars)
        s.truncate(kMaxPaintedChars);
    const QFont f = font_.font(t.bold);
    painter_.setFont(f);
    const QFontMetricsF metrics(f, &printer_);
    double left = t.x * scale_;
    if (t.align == Align::Right)
        left -= metrics.horizontalAdvance(s);
    painter_.drawText(QPointF(left, t.y * scale_ + metrics.ascent()), s);
}

void PainterDestination::end()
{
    if (painter_.isActive())
        painter_.end();
}

void PainterDestination::abort()
{
    printer_.abort();
    end();
}

} // namespace qv::reports
