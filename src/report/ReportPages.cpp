#include "report/ReportPages.h"

#include "report/ReportStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

ReportPages::ReportPages(QPdfWriter &writer, QPainter *painter, int pageCount, const QString &footer)
    : m_writer(writer), m_painter(painter), m_pageCount(pageCount), m_footer(footer)
{
    const double footerHeight = mm(10);
    m_body = QRectF(0, 0, writer.width(), writer.height() - footerHeight);
    m_cursor = m_body.top();
    drawFooter();
}

QFontMetricsF ReportPages::metrics(const QFont &font) const { return QFontMetricsF(font, &m_writer); }

double ReportPages::mm(double millimetres) const { return millimetres * m_writer.resolution() / 25.4; }

void ReportPages::newPage()
{
    if (m_painter)
        m_writer.newPage();
    ++m_page;
    m_cursor = m_body.top();
    drawFooter();
}

bool ReportPages::breakFor(double height)
{
    // A page already empty takes what it can: a new one would not hold it either.
    if (height <= remaining() || m_cursor == m_body.top())
        return false;
    newPage();
    return true;
}

void ReportPages::text(const QRectF &rect, int flags, const QString &text, const QFont &font, const QColor &color) const
{
    if (!m_painter)
        return;
    m_painter->setFont(font);
    m_painter->setPen(color);
    m_painter->drawText(rect, flags, text);
}

void ReportPages::fill(const QRectF &rect, const QColor &color) const
{
    if (m_painter)
        m_painter->fillRect(rect, color);
}

void ReportPages::rule(double y, double width, const QColor &color) const
{
    if (!m_painter)
        return;
    m_painter->setPen(QPen(color, width));
    m_painter->drawLine(QPointF(m_body.left(), y), QPointF(m_body.right(), y));
}

void ReportPages::drawFooter() const
{
    const QFont font = ReportStyle::font(7.5);
    const QRectF area(
        m_body.left(), m_body.bottom() + mm(4), m_body.width(), m_writer.height() - m_body.bottom() - mm(4));
    rule(area.top() - mm(1.5), mm(0.2), ReportStyle::Rule);
    text(area, Qt::AlignLeft | Qt::AlignTop, m_footer, font, ReportStyle::Muted);
    text(area, Qt::AlignRight | Qt::AlignTop, QStringLiteral("page %1 of %2").arg(m_page).arg(m_pageCount), font,
        ReportStyle::Muted);
}

void ReportPages::title(const QString &left, const QString &right, const QColor &rightColor)
{
    const QFont font = ReportStyle::font(20, true);
    const double height = metrics(font).height();
    const QRectF row(m_body.left(), m_cursor, m_body.width(), height);
    text(row, Qt::AlignLeft | Qt::AlignVCenter, left, font, ReportStyle::Text);
    text(row, Qt::AlignRight | Qt::AlignVCenter, right, font, rightColor);
    advance(height + mm(1.5));
    rule(m_cursor, mm(0.5), ReportStyle::Text);
    advance(mm(4));
}

void ReportPages::heading(const QString &name)
{
    const QFont font = ReportStyle::font(11.5, true);
    const double height = metrics(font).height();
    // A heading keeps company with some of what it heads.
    breakFor(height * 5);
    if (m_cursor > m_body.top())
        advance(mm(3));
    text(QRectF(m_body.left(), m_cursor, m_body.width(), height), Qt::AlignLeft | Qt::AlignVCenter, name, font,
        ReportStyle::Text);
    advance(height + mm(0.8));
    rule(m_cursor, mm(0.25), ReportStyle::Rule);
    advance(mm(2));
}
