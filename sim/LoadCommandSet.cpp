#include "LoadCommandSet.h"

#include "SimText.h"

#include <QRegularExpression>
#include <functional>

namespace {

using Action = LoadCommandSet::Action;

// A setter that takes a number; the line is refused when its value is not one.
std::optional<Action> setNumber(const QByteArray &argument, double &field, Action action = Action::None)
{
    const std::optional<double> value = SimText::number(argument);
    if (!value)
        return std::nullopt;
    field = *value;
    return action;
}

std::optional<Action> setCount(const QByteArray &argument, int &field)
{
    const std::optional<int> value = SimText::count(argument);
    if (!value)
        return std::nullopt;
    field = *value;
    return Action::None;
}

std::optional<Action> switchAction(const QByteArray &argument, Action on, Action off)
{
    const std::optional<bool> value = SimText::onOff(argument);
    if (!value)
        return std::nullopt;
    return *value ? on : off;
}

std::optional<Action> setRange(const QByteArray &argument, QByteArray &field)
{
    static const QRegularExpression range(QStringLiteral("^R[1-3]$"));
    const QByteArray value = argument.trimmed().toUpper();
    if (!range.match(QString::fromLatin1(value)).hasMatch())
        return std::nullopt;
    field = value;
    return Action::None;
}

} // namespace

std::optional<LoadCommandSet::Action> LoadCommandSet::apply(
    const QByteArray &keyword, const QByteArray &argument, LoadSettings &s)
{
    using Handler = std::function<std::optional<Action>()>;
    const QMap<QByteArray, Handler> handlers{
        {"REM",
            [&]() -> std::optional<Action> {
                if (!argument.trimmed().isEmpty())
                    return std::nullopt;
                s.remote = true;
                return Action::None;
            }},
        {"MODE",
            [&]() -> std::optional<Action> {
                const std::optional<LoadMode> m = SimText::mode(argument);
                if (!m)
                    return std::nullopt;
                s.mode = *m;
                return Action::None;
            }},
        {"LOAD", [&] { return switchAction(argument, Action::InputOn, Action::InputOff); }},
        {"DYN",
            [&]() -> std::optional<Action> {
                const std::optional<bool> on = SimText::onOff(argument);
                if (!on)
                    return std::nullopt;
                s.dynamic = *on;
                return *on ? Action::DynamicOn : Action::None;
            }},
        {"PERD:HIGH", [&] { return setNumber(argument, s.periodHighMs); }},
        {"PERD:LOW", [&] { return setNumber(argument, s.periodLowMs); }},
        {"RISE", [&] { return setNumber(argument, s.riseAmpsPerMs); }},
        {"FALL", [&] { return setNumber(argument, s.fallAmpsPerMs); }},
        {"TCONFIG",
            [&]() -> std::optional<Action> {
                const QByteArray t = argument.trimmed().toUpper();
                if (t == "SHORT")
                    s.testConfig = LoadSettings::TestConfig::Short;
                else if (t == "OCP")
                    s.testConfig = LoadSettings::TestConfig::Ocp;
                else if (t == "OPP")
                    s.testConfig = LoadSettings::TestConfig::Opp;
                else
                    return std::nullopt;
                return Action::None;
            }},
        {"STIME", [&] { return setNumber(argument, s.shortMs); }},
        {"START",
            [&]() -> std::optional<Action> {
                if (!argument.trimmed().isEmpty())
                    return std::nullopt;
                return Action::Start;
            }},
        {"STOP",
            [&]() -> std::optional<Action> {
                if (!argument.trimmed().isEmpty())
                    return std::nullopt;
                return Action::Stop;
            }},
        {"OCP:START", [&] { return setNumber(argument, s.ocpStart); }},
        {"OCP:STEP", [&] { return setNumber(argument, s.ocpStep); }},
        {"OCP:STOP", [&] { return setNumber(argument, s.ocpStop); }},
        {"OPP:START", [&] { return setNumber(argument, s.oppStart); }},
        {"OPP:STEP", [&] { return setNumber(argument, s.oppStep); }},
        {"OPP:STOP", [&] { return setNumber(argument, s.oppStop); }},
        {"VTH", [&] { return setNumber(argument, s.thresholdVolts); }},
        {"IH", [&] { return setNumber(argument, s.ih); }},
        {"IL", [&] { return setNumber(argument, s.il); }},
        {"WH", [&] { return setNumber(argument, s.wh); }},
        {"WL", [&] { return setNumber(argument, s.wl); }},
        {"NGENABLE",
            [&]() -> std::optional<Action> {
                const std::optional<bool> on = SimText::onOff(argument);
                if (!on)
                    return std::nullopt;
                s.ngEnable = *on;
                return Action::None;
            }},
        {"CC", [&] { return setRange(argument, s.ccRange); }},
        {"CCR", [&] { return setRange(argument, s.ccrRange); }},
        {"LDONV", [&] { return setNumber(argument, s.loadOnVolts); }},
        {"LDOFFV", [&] { return setNumber(argument, s.loadOffVolts); }},
        {"EXT:AIN",
            [&]() -> std::optional<Action> {
                const std::optional<bool> on = SimText::onOff(argument);
                if (!on)
                    return std::nullopt;
                s.externalInput = *on;
                return Action::None;
            }},
        {"LIM:ADDCV:VOLT", [&] { return setNumber(argument, s.cvFloorVolts); }},
        // The added CV limit is a way of operating: switching it on starts the load sinking.
        {"LIM:ADDCV",
            [&]() -> std::optional<Action> {
                const std::optional<bool> on = SimText::onOff(argument);
                if (!on)
                    return std::nullopt;
                s.cvFloorOn = *on;
                return *on ? Action::InputOn : Action::None;
            }},
        {"BATT:STEP", [&] { return setCount(argument, s.battSteps); }},
        {"BATT:UVP", [&] { return setNumber(argument, s.uvpVolts); }},
        {"BATT:REPEAT", [&] { return setCount(argument, s.battRepeat); }},
        // The discharge test runs in the mode of whichever level came last.
        {"BATT:CURR",
            [&]() -> std::optional<Action> {
                const std::optional<Action> result = setNumber(argument, s.battAmps);
                if (result)
                    s.battMode = LoadMode::CC;
                return result;
            }},
        {"BATT:POWER",
            [&]() -> std::optional<Action> {
                const std::optional<Action> result = setNumber(argument, s.battWatts);
                if (result)
                    s.battMode = LoadMode::CP;
                return result;
            }},
        {"BATT:TIME", [&] { return setNumber(argument, s.battSeconds); }},
        {"BATT:AH", [&] { return setNumber(argument, s.battAh); }},
        {"BATT:WH", [&] { return setNumber(argument, s.battWh); }},
        {"BATT:TEST", [&] { return switchAction(argument, Action::BatteryTestOn, Action::BatteryTestOff); }},
        {"BATT:RAMP:CC", [&] { return switchAction(argument, Action::RampOn, Action::RampOff); }},
        {"BATT:DYN", [&] { return switchAction(argument, Action::CycleLifeOn, Action::CycleLifeOff); }},
        {"SEQLD:TYPE",
            [&]() -> std::optional<Action> {
                const std::optional<LoadMode> m = SimText::mode(argument);
                if (!m || (*m != LoadMode::CC && *m != LoadMode::CP))
                    return std::nullopt;
                s.seqType = *m;
                return Action::None;
            }},
        {"SEQLD:TOTSTEP", [&] { return setCount(argument, s.seqSteps); }},
        {"SEQLD:REPEAT", [&] { return setCount(argument, s.seqRepeat); }},
        {"SEQLD:TEST", [&] { return switchAction(argument, Action::SequenceOn, Action::SequenceOff); }},
    };
    const auto handler = handlers.constFind(keyword);
    if (handler != handlers.constEnd())
        return (*handler)();
    if (std::optional<Action> level = applyLevel(keyword, argument, s))
        return level;
    return applyIndexed(keyword, argument, s);
}

std::optional<LoadCommandSet::Action> LoadCommandSet::applyLevel(
    const QByteArray &keyword, const QByteArray &argument, LoadSettings &s)
{
    static const QRegularExpression pattern(QStringLiteral("^(CC|CR|CV|CP):(HIGH|LOW)$"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(keyword));
    if (!match.hasMatch())
        return std::nullopt;
    const auto index = static_cast<size_t>(*SimText::mode(match.captured(1).toLatin1()));
    return setNumber(argument, match.captured(2) == QLatin1String("HIGH") ? s.high[index] : s.low[index]);
}

std::optional<LoadCommandSet::Action> LoadCommandSet::applyIndexed(
    const QByteArray &keyword, const QByteArray &argument, LoadSettings &s)
{
    // Keyword stems followed directly by a sub-step index ("BATT:CC1", "SEQLD:TIME0").
    static const QRegularExpression pattern(
        QStringLiteral("^(BATT:CC|BATT:DTIME|BATT:CCH|BATT:CCL|BATT:TH|BATT:TL|BATT:CYCLE|SEQLD:CC|SEQLD:CP|"
                       "SEQLD:TIME)(\\d{1,2})$"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(keyword));
    if (!match.hasMatch())
        return std::nullopt;
    const std::optional<double> value = SimText::number(argument);
    if (!value)
        return std::nullopt;
    const QString stem = match.captured(1);
    const int index = match.captured(2).toInt();
    const QMap<QString, QMap<int, double> *> lists{
        {QStringLiteral("BATT:CC"), &s.rampAmps},
        {QStringLiteral("BATT:DTIME"), &s.rampSeconds},
        {QStringLiteral("BATT:CCH"), &s.cycleHighAmps},
        {QStringLiteral("BATT:CCL"), &s.cycleLowAmps},
        {QStringLiteral("BATT:TH"), &s.cycleHighSeconds},
        {QStringLiteral("BATT:TL"), &s.cycleLowSeconds},
        {QStringLiteral("BATT:CYCLE"), &s.cycleCount},
        {QStringLiteral("SEQLD:CC"), &s.seqLevels},
        {QStringLiteral("SEQLD:CP"), &s.seqLevels},
        {QStringLiteral("SEQLD:TIME"), &s.seqMs},
    };
    if ((stem == QLatin1String("SEQLD:CC") && s.seqType != LoadMode::CC)
        || (stem == QLatin1String("SEQLD:CP") && s.seqType != LoadMode::CP))
        return std::nullopt;
    lists.value(stem)->insert(index, *value);
    return Action::None;
}
