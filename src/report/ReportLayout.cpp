#include "report/ReportLayout.h"

#include "model/FigureText.h"
#include "report/ChartPainter.h"
#include "report/ReportPages.h"
#include "report/StepTable.h"
#include "results/ChartHistory.h"
#include "store/StoredRun.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {

constexpr double FieldPoints = 9;
constexpr double MonoPoints = 7.5;

} // namespace

void ReportLayout::draw()
{
    drawTitle();
    drawFields();
    drawChart();
    drawSteps();
    m_pages.newPage();
    drawText(QStringLiteral("Settings in force"), QStringLiteral("The settings file as it was when the run started"),
        m_run.settingsText);
    drawText(QStringLiteral("Program"), m_run.programName, m_run.programText);
}

void ReportLayout::drawTitle()
{
    const QString result = m_run.resultText();
    m_pages.title(QStringLiteral("Run report"), result, ReportStyle::resultColor(result));
}

double ReportLayout::field(
    double left, double width, const QString &label, const QString &value, const QFont &font, const QColor &color) const
{
    const QFont labelFont = ReportStyle::font(FieldPoints - 1);
    const double labelWidth = m_pages.mm(24);
    const QRectF valueRect(left + labelWidth, m_pages.cursor(), width - labelWidth, m_pages.body().height());
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;
    const double height = m_pages.metrics(font).boundingRect(valueRect, flags, value).height();
    const double labelHeight = m_pages.metrics(labelFont).height();
    // Label and value share their first line's baseline area.
    m_pages.text(QRectF(left, m_pages.cursor() + (m_pages.metrics(font).ascent() - m_pages.metrics(labelFont).ascent()),
                     labelWidth, labelHeight),
        Qt::AlignLeft | Qt::AlignTop, label, labelFont, ReportStyle::Muted);
    m_pages.text(QRectF(valueRect.topLeft(), QSizeF(valueRect.width(), height)), flags, value, font, color);
    return std::max(height, labelHeight);
}

void ReportLayout::drawFields()
{
    const QFont font = ReportStyle::font(FieldPoints);
    const QFont bold = ReportStyle::font(FieldPoints, true);
    const double left = m_pages.body().left(), width = m_pages.body().width();
    const double half = width / 2;
    const double gap = m_pages.mm(1.6);
    const auto full = [&](const QString &label, const QString &value, const QFont &valueFont,
                          const QColor &color = ReportStyle::Text) {
        m_pages.advance(field(left, width, label, value, valueFont, color) + gap);
    };
    const auto pair = [&](const QString &label, const QString &value, const QString &label2, const QString &value2) {
        const double height
            = std::max(field(left, half, label, value, font), field(left + half, half, label2, value2, font));
        m_pages.advance(height + gap);
    };
    QString model = m_run.model.isEmpty() ? QStringLiteral("(not identified)") : m_run.model;
    if (!m_run.ratedCurrent.isEmpty())
        model += QStringLiteral(" (rated %1 A)").arg(m_run.ratedCurrent);
    int passed = 0, failed = 0;
    for (const StepRecord &step : m_run.steps) {
        passed += step.verdict && step.verdict->pass;
        failed += step.verdict && !step.verdict->pass;
    }
    QString steps = QString::number(m_run.steps.size());
    if (passed + failed > 0)
        steps += QStringLiteral(" (%1 PASS, %2 FAIL)").arg(passed).arg(failed);
    const bool ended = m_run.ended.isValid();
    const QString endFormat = ended && m_run.ended.date() != m_run.started.date()
        ? QStringLiteral("yyyy-MM-dd HH:mm:ss")
        : QStringLiteral("HH:mm:ss");
    const QString duration = ended
        ? FigureText::words(double(m_run.started.msecsTo(m_run.ended)) / 1000.0)
        : QStringLiteral("%1 to its last sample").arg(FigureText::words(m_history.lastSeconds()));

    full(QStringLiteral("Program"), m_run.programName, bold);
    pair(QStringLiteral("Load"), model, QStringLiteral("Station"), m_run.station);
    pair(QStringLiteral("Date"), m_run.started.toString(QStringLiteral("yyyy-MM-dd")), QStringLiteral("Duration"),
        duration);
    pair(QStringLiteral("Started"), m_run.started.toString(QStringLiteral("HH:mm:ss")), QStringLiteral("Ended"),
        ended ? m_run.ended.toString(endFormat) : QStringLiteral("did not end"));
    pair(QStringLiteral("Steps run"), steps, QStringLiteral("Samples"), QString::number(m_history.sampleCount()));
    if (m_run.totals)
        pair(QStringLiteral("Run Ah"), QString::number(m_run.totals->ampHours, 'f', 6), QStringLiteral("Run Wh"),
            QString::number(m_run.totals->wattHours, 'f', 6));
    full(QStringLiteral("Result"), m_run.resultText(), bold, ReportStyle::resultColor(m_run.resultText()));
    if (!m_run.message.isEmpty())
        full(QStringLiteral("Message"), m_run.message, font);
    full(QStringLiteral("Run UUID"), m_run.uuid, ReportStyle::mono(FieldPoints));
    m_pages.advance(m_pages.mm(2));
}

void ReportLayout::drawChart()
{
    m_pages.heading(QStringLiteral("Voltage, current and power"));
    const double height = std::min(m_pages.mm(105), m_pages.body().height() / 2);
    m_pages.breakFor(height);
    const QRectF area(m_pages.body().left(), m_pages.cursor(), m_pages.body().width(), height);
    if (QPainter *painter = m_pages.painter()) {
        painter->setFont(ReportStyle::font(7));
        ChartPainter(m_history).paint(*painter, area);
    }
    m_pages.advance(height);
}

void ReportLayout::drawSteps()
{
    m_pages.heading(QStringLiteral("Steps"));
    if (m_run.steps.isEmpty()) {
        const QFont font = ReportStyle::font(FieldPoints);
        const double height = m_pages.metrics(font).height();
        m_pages.text(QRectF(m_pages.body().left(), m_pages.cursor(), m_pages.body().width(), height), Qt::AlignLeft,
            QStringLiteral("No step ran."), font, ReportStyle::Muted);
        m_pages.advance(height);
        return;
    }
    StepTable(m_run.steps).draw(m_pages);
    const QFont note = ReportStyle::font(7.5);
    const double height = m_pages.metrics(note).height();
    m_pages.breakFor(height);
    m_pages.advance(m_pages.mm(1));
    m_pages.text(QRectF(m_pages.body().left(), m_pages.cursor(), m_pages.body().width(), height), Qt::AlignLeft,
        QStringLiteral("Ah, Wh, V and A as at each step's last sample."), note, ReportStyle::Muted);
    m_pages.advance(height);
}

// Monospace text, each line numbered; a line too long for the page goes on under itself without a
// number.
void ReportLayout::drawText(const QString &title, const QString &subtitle, const QString &text)
{
    m_pages.heading(title);
    const QFont small = ReportStyle::font(8);
    const double subtitleHeight = m_pages.metrics(small).height();
    m_pages.text(QRectF(m_pages.body().left(), m_pages.cursor(), m_pages.body().width(), subtitleHeight),
        Qt::AlignLeft | Qt::AlignVCenter, subtitle, small, ReportStyle::Muted);
    m_pages.advance(subtitleHeight + m_pages.mm(2));
    const QFont mono = ReportStyle::mono(MonoPoints);
    const QFontMetricsF metrics = m_pages.metrics(mono);
    const double lineHeight = metrics.lineSpacing();
    if (text.isEmpty()) {
        m_pages.text(QRectF(m_pages.body().left(), m_pages.cursor(), m_pages.body().width(), lineHeight), Qt::AlignLeft,
            QStringLiteral("(not stored with the run)"), small, ReportStyle::Muted);
        return;
    }
    QStringList lines = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    const double gutter = metrics.horizontalAdvance(QString::number(lines.size())) + m_pages.mm(3);
    const double textLeft = m_pages.body().left() + gutter;
    const qsizetype perLine
        = std::max<qsizetype>(8, qsizetype((m_pages.body().right() - textLeft) / metrics.horizontalAdvance(u'M')));
    for (qsizetype k = 0; k < lines.size(); ++k) {
        QString line = lines.at(k);
        line.replace(u'\t', QStringLiteral("    "));
        for (qsizetype from = 0; from == 0 || from < line.size(); from += perLine) {
            m_pages.breakFor(lineHeight);
            if (from == 0) {
                m_pages.text(QRectF(m_pages.body().left(), m_pages.cursor(), gutter - m_pages.mm(2), lineHeight),
                    Qt::AlignRight | Qt::AlignVCenter, QString::number(k + 1), mono, ReportStyle::Muted);
            }
            m_pages.text(QRectF(textLeft, m_pages.cursor(), m_pages.body().right() - textLeft, lineHeight),
                Qt::AlignLeft | Qt::AlignVCenter, line.mid(from, perLine), mono, ReportStyle::Text);
            m_pages.advance(lineHeight);
        }
    }
}
