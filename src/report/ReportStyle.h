#pragma once

#include "report/ChartColours.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

// The report's type and colours, in one place so that its pages look alike.
namespace ReportStyle {

inline const QColor Text(0x20, 0x20, 0x20);
inline const QColor Muted(0x6a, 0x6a, 0x6a);
inline const QColor Rule(0xb0, 0xb0, 0xb0);
inline const QColor HeaderFill(0xe6, 0xe9, 0xee);
inline const QColor RowShade(0xf6, 0xf7, 0xf9);
// The verdicts' colours on the chart, so that PASS and FAIL read alike in tables and on charts.
inline const QColor Pass = ChartColours::Pass;
inline const QColor Fail = ChartColours::Fail;
inline const QColor Other(0xc7, 0x7c, 0x02);

// Fonts every platform has one of; DejaVu first, which Debian has everywhere.
inline QFont font(double points, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

inline QFont mono(double points)
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"), QStringLiteral("Courier New")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(points);
    return font;
}

// PASS green, FAIL red, anything else (stopped, lost, error, unfinished) amber.
inline QColor resultColor(const QString &result)
{
    if (result == u"PASS")
        return Pass;
    if (result == u"FAIL")
        return Fail;
    return Other;
}

} // namespace ReportStyle
