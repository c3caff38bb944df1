#include "commands/CommandPlan.h"

#include "model/Fixed4.h"
#include "model/NumberText.h"
#include "model/StepValues.h"

#include <cmath>

CommandPlan::CommandPlan(const StepValues &step, QString ratedCurrent)
    : m_step(step), m_ratedCurrent(std::move(ratedCurrent))
{ }

void CommandPlan::send(const QString &line) { m_items.append({line, 0}); }

void CommandPlan::wait(double ms) { m_items.append({QString(), ms}); }

void CommandPlan::fail(int column, const QString &problem)
{
    // The first problem is the one to report: later ones may only follow from it.
    if (!m_error)
        m_error = CommandError{m_step.row, column, problem};
}

QString CommandPlan::checkedText(int column, const QString &text)
{
    // A line break inside a value would split it into two commands, the second one unintended.
    if (text.contains(u'\r') || text.contains(u'\n')) {
        fail(column, QStringLiteral("the value holds a line break"));
        return QString();
    }
    return text;
}

std::optional<double> CommandPlan::number(int column)
{
    const QString text = m_step.cell(column);
    const std::optional<double> value = NumberText::strict(text);
    if (!value)
        fail(column, QStringLiteral("\"%1\" is not a number").arg(text));
    return value;
}

QString CommandPlan::stored(int column) { return checkedText(column, m_step.cell(column)); }

QString CommandPlan::value(int column)
{
    const QString text = stored(column);
    if (!text.isEmpty() && !NumberText::leading(text)) {
        fail(column, QStringLiteral("\"%1\" is not a number").arg(text));
        return QString();
    }
    return text;
}

QString CommandPlan::integer16(int column)
{
    const std::optional<double> value = number(column);
    if (!value)
        return QString();
    const std::optional<qint16> rounded = NumberText::toInt16(*value);
    if (!rounded) {
        fail(column, QStringLiteral("%1 is out of the range -32768 to 32767").arg(m_step.cell(column)));
        return QString();
    }
    return QString::number(*rounded);
}

QString CommandPlan::integer32(int column)
{
    const std::optional<double> value = number(column);
    if (!value)
        return QString();
    const std::optional<qint32> rounded = NumberText::toInt32(*value);
    if (!rounded) {
        fail(column, QStringLiteral("%1 is out of the range -2147483648 to 2147483647").arg(m_step.cell(column)));
        return QString();
    }
    return QString::number(*rounded);
}

QString CommandPlan::real(int column)
{
    const std::optional<double> value = number(column);
    return value ? NumberText::shortest(*value) : QString();
}

QString CommandPlan::fixed4(int column)
{
    const std::optional<double> value = number(column);
    if (!value)
        return QString();
    const std::optional<Fixed4> fixed = Fixed4::fromDouble(*value);
    if (!fixed) {
        fail(column, QStringLiteral("%1 is too large").arg(m_step.cell(column)));
        return QString();
    }
    return fixed->toText();
}

std::optional<double> CommandPlan::positiveRatedCurrent()
{
    const std::optional<double> rated = NumberText::strict(m_ratedCurrent);
    if (!rated || *rated <= 0) {
        fail(CommandError::NoColumn,
            m_ratedCurrent.isEmpty() ? QStringLiteral("the load's rated current is not known")
                                     : QStringLiteral("\"%1\" is not a positive number").arg(m_ratedCurrent));
        return std::nullopt;
    }
    return rated;
}

QString CommandPlan::scaled(int column)
{
    const std::optional<double> rated = positiveRatedCurrent();
    if (!rated)
        return QString();
    const double level = NumberText::lenient(m_step.cell(column)) / *rated * 10.0;
    if (!std::isfinite(level)) {
        fail(column, QStringLiteral("%1 gives no level for the generator").arg(m_step.cell(column)));
        return QString();
    }
    return NumberText::shortest(level);
}

QString CommandPlan::ratedFourDecimals(double divisor)
{
    const std::optional<double> rated = positiveRatedCurrent();
    return rated ? NumberText::fixedFourDecimals(*rated / divisor) : QString();
}

int CommandPlan::count16(int column)
{
    const QString text = integer16(column);
    return text.isEmpty() ? 0 : text.toInt();
}

QString CommandPlan::element(int column, int index)
{
    const QStringList list = m_step.list(column);
    if (index >= list.size()) {
        fail(column, QStringLiteral("the list holds %1 values, %2 needed").arg(list.size() - 1).arg(index));
        return QString();
    }
    return checkedText(column, list.at(index));
}

int CommandPlan::subStepCount(int column) const { return int(m_step.list(column).size()) - 1; }

QStringList CommandPlan::lines() const
{
    QStringList lines;
    for (const Item &item : m_items) {
        if (!item.line.isEmpty())
            lines.append(item.line);
    }
    return lines;
}
