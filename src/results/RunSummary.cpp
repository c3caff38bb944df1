#include "results/RunSummary.h"

#include "link/Clock.h"
#include "model/WholeFile.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// Local time without an offset, to the millisecond, as the log's times are local too.
QString isoText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) : QString();
}

QString endFor(RunEvents::Result result)
{
    switch (result) {
    case RunEvents::Result::Stopped:
        return RunEvents::EndedByStop;
    case RunEvents::Result::Lost:
        return RunEvents::EndedByLostLoad;
    case RunEvents::Result::Error:
        return RunEvents::EndedByError;
    case RunEvents::Result::Pass:
    case RunEvents::Result::Fail:
        break;
    }
    return QString();
}

} // namespace

RunSummary::RunSummary(RunEvents &events, Clock &clock, std::function<QString()> model, QObject *parent)
    : QObject(parent), m_clock(clock), m_modelName(std::move(model))
{
    connect(&events, &RunEvents::runStarted, this, &RunSummary::onRunStarted);
    connect(&events, &RunEvents::stepStarted, this, &RunSummary::onStepStarted);
    connect(&events, &RunEvents::sample, this, &RunSummary::onSample);
    connect(&events, &RunEvents::stepEnded, this, &RunSummary::onStepEnded);
    connect(&events, &RunEvents::verdict, this, &RunSummary::onVerdict);
    connect(&events, &RunEvents::runEnded, this, &RunSummary::onRunEnded);
}

void RunSummary::onRunStarted(const RunOptions &options)
{
    m_steps.clear();
    m_open = -1;
    m_result.clear();
    m_message.clear();
    m_model.clear();
    m_program = options.programFile;
    m_started = m_clock.now();
    m_ended = QDateTime();
    m_finished = false;
    Q_EMIT changed();
}

void RunSummary::onStepStarted(int step, const QString &function)
{
    dropJumpStep();
    Step started;
    started.step = step;
    started.function = function;
    started.started = m_clock.now();
    m_steps.append(started);
    m_open = int(m_steps.size()) - 1;
    m_openTick = m_clock.tickMs();
    m_openSampled = false;
    Q_EMIT changed();
}

void RunSummary::onSample(const RunEvents::Sample &sample)
{
    if (m_open < 0)
        return;
    Step &step = m_steps[m_open];
    step.ampHours = sample.ampHours;
    step.wattHours = sample.wattHours;
    step.volts = sample.volts;
    step.amps = sample.amps;
    step.seconds = secondsSinceOpened();
    m_openSampled = true;
    Q_EMIT changed();
}

void RunSummary::onStepEnded(int step, const QString &how)
{
    if (m_open < 0 || m_steps.at(m_open).step != step)
        return;
    close(how);
    Q_EMIT changed();
}

void RunSummary::onVerdict(const RunEvents::Verdict &verdict)
{
    // The load's own test ends its step before its verdict comes.
    for (auto it = m_steps.rbegin(); it != m_steps.rend(); ++it) {
        if (it->step != verdict.step)
            continue;
        it->verdict = verdict.pass ? QStringLiteral("PASS") : QStringLiteral("FAIL");
        it->value = verdict.value;
        Q_EMIT changed();
        return;
    }
}

void RunSummary::onRunEnded(RunEvents::Result result, const QString &message)
{
    const QString cut = endFor(result);
    if (m_open >= 0 && !cut.isEmpty())
        close(cut);
    dropJumpStep();
    m_result = RunEvents::resultText(result);
    m_message = message;
    m_model = m_modelName ? m_modelName() : QString();
    m_ended = m_clock.now();
    m_finished = true;
    Q_EMIT changed();
    Q_EMIT finished();
}

void RunSummary::close(const QString &how)
{
    Step &step = m_steps[m_open];
    step.end = how;
    step.seconds = secondsSinceOpened();
    m_open = -1;
}

void RunSummary::dropJumpStep()
{
    // A step still open when the next one starts or the run finishes was one that only jumps
    // (FOR, LOOP): it never runs the load, never ends, and would only repeat in the table.
    if (m_open < 0)
        return;
    if (!m_openSampled)
        m_steps.removeAt(m_open);
    m_open = -1;
}

double RunSummary::secondsSinceOpened() const { return double(m_clock.tickMs() - m_openTick) / 1000.0; }

QJsonObject RunSummary::stepJson(const Step &step)
{
    return QJsonObject{
        {QStringLiteral("step"), step.step},
        {QStringLiteral("function"), step.function},
        {QStringLiteral("started"), isoText(step.started)},
        {QStringLiteral("end"), step.end},
        {QStringLiteral("verdict"), step.verdict},
        {QStringLiteral("value"), step.value},
        {QStringLiteral("ah"), step.ampHours},
        {QStringLiteral("wh"), step.wattHours},
        {QStringLiteral("v"), step.volts},
        {QStringLiteral("i"), step.amps},
        {QStringLiteral("seconds"), step.seconds},
    };
}

QJsonObject RunSummary::toJson() const
{
    QJsonArray steps;
    for (const Step &step : m_steps)
        steps.append(stepJson(step));
    return QJsonObject{
        {QStringLiteral("result"), m_result},
        {QStringLiteral("program"), m_program},
        {QStringLiteral("model"), m_model},
        {QStringLiteral("started"), isoText(m_started)},
        {QStringLiteral("ended"), isoText(m_ended)},
        {QStringLiteral("message"), m_message},
        {QStringLiteral("steps"), steps},
    };
}

QString RunSummary::stepsText(const QList<Step> &steps)
{
    qsizetype functionWidth = 8;
    for (const Step &step : steps)
        functionWidth = std::max(functionWidth, step.function.size());
    const auto line = [functionWidth](const QStringList &cells) {
        static constexpr int Widths[] = {4, 0, 8, 10, 8, 7, 10, 10, 10, 8, 8};
        QString text;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const int width = i == 1 ? int(functionWidth) : Widths[i];
            // Names read from the left, numbers from the right.
            text += i == 1 || i == 4 || i == 5 ? cells.at(i).leftJustified(width) : cells.at(i).rightJustified(width);
            text += u' ';
        }
        while (text.endsWith(u' '))
            text.chop(1);
        return text + u'\n';
    };
    QString text = line({QStringLiteral("Step"), QStringLiteral("Function"), QStringLiteral("Start"),
        QStringLiteral("Duration s"), QStringLiteral("End"), QStringLiteral("Verdict"), QStringLiteral("Value"),
        QStringLiteral("Ah"), QStringLiteral("Wh"), QStringLiteral("V"), QStringLiteral("I")});
    for (const Step &step : steps)
        text += line({QString::number(step.step), step.function, step.started.toString(QStringLiteral("HH:mm:ss")),
            QString::number(step.seconds, 'f', 1), step.end, step.verdict, step.value,
            QString::number(step.ampHours, 'f', 6), QString::number(step.wattHours, 'f', 6),
            QString::number(step.volts, 'f', 3), QString::number(step.amps, 'f', 3)});
    return text;
}

QString RunSummary::toText() const
{
    QString text = stepsText(m_steps);
    text += QStringLiteral("Result: %1\n").arg(m_result);
    if (!m_message.isEmpty())
        text += m_message + u'\n';
    return text;
}

QString RunSummary::writeJson(const QString &path) const
{
    const std::optional<QString> failed = WholeFile::replace(
        path, QJsonDocument(toJson()).toJson(QJsonDocument::Indented), OutputFile::Dash::StandardOutput);
    return failed ? QStringLiteral("%1: %2").arg(path, *failed) : QString();
}
