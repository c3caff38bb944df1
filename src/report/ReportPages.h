#pragma once

#include "report/ReportStyle.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QRectF>
#include <QString>

class QPainter;
class QPdfWriter;

// The pages of a report as a cursor moving down them, with the page breaks and every page's
// footer ("page N of M" and what the report is of). A report is laid out twice: first without a painter, only to
// count the pages, then with one, to draw them knowing their number.
class ReportPages
{
public:
    // `painter` is null for the counting pass; `pageCount` is what that pass counted. `footer` is
    // what every page says the report is of, at its foot: "Run UUID".
    ReportPages(QPdfWriter &writer, QPainter *painter, int pageCount, const QString &footer);

    // Null while counting.
    QPainter *painter() const { return m_painter; }
    QFontMetricsF metrics(const QFont &font) const;
    double mm(double millimetres) const;
    // Where content goes on every page, above the footer.
    QRectF body() const { return m_body; }
    double cursor() const { return m_cursor; }
    double remaining() const { return m_body.bottom() - m_cursor; }
    int page() const { return m_page; }

    void newPage();
    // Starts a new page unless `height` fits below the cursor; true when it did.
    bool breakFor(double height);
    void advance(double height) { m_cursor += height; }

    // Drawing that the counting pass skips.
    void text(const QRectF &rect, int flags, const QString &text, const QFont &font, const QColor &color) const;
    void fill(const QRectF &rect, const QColor &color) const;
    void rule(double y, double width, const QColor &color) const;

    // The report's title, `left` across the page and `right` at its right end in `rightColor`, ruled off.
    void title(const QString &left, const QString &right = {}, const QColor &rightColor = ReportStyle::Text);
    // A section's heading, ruled off, kept on one page with some of what follows it.
    void heading(const QString &name);

private:
    void drawFooter() const;

    QPdfWriter &m_writer;
    QPainter *m_painter;
    int m_pageCount;
    QString m_footer;
    QRectF m_body;
    double m_cursor = 0;
    int m_page = 1;
};
