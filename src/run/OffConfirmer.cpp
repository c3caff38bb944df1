#include "run/OffConfirmer.h"

#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/TraceList.h"
#include "model/NumberText.h"
#include "run/MeasureReply.h"

#include <cmath>

namespace {

using Kind = OffConfirmer::Outcome::Kind;

const QString MeasureQuery = QStringLiteral("MEAS:VC?");

} // namespace

OffConfirmer::OffConfirmer(InstrumentLink &load, Clock &clock, TraceList &trace)
    : m_load(load), m_clock(clock), m_trace(trace)
{ }

double OffConfirmer::offLimit(double ratedAmps)
{
    const double rated = std::isfinite(ratedAmps) && ratedAmps > 0 ? ratedAmps : 0;
    return std::max(rated * OffFractionOfRating, OffFloorAmps);
}

void OffConfirmer::setRatedCurrent(const QString &amps)
{
    m_ratedAmps = NumberText::lenient(amps);
    m_bounds = MeasureReply::Bounds::forRatedCurrent(amps);
}

bool OffConfirmer::cancelled() const { return m_cancel && m_cancel->isCancelled(); }

QCoro::Task<> OffConfirmer::sendOffLines()
{
    for (const QString &line : m_offLines)
        co_await m_load.LinkSend(line);
}

QCoro::Task<std::optional<double>> OffConfirmer::readCurrent()
{
    m_load.setWaitLimit(m_replyLimitMs);
    const QString reply = co_await m_load.ask(MeasureQuery);
    m_load.setWaitLimit(0);
    const std::optional<MeasureReply> reading = MeasureReply::read(reply, m_bounds);
    if (!reading)
        co_return std::nullopt;
    co_return reading->amps;
}

QCoro::Task<OffConfirmer::Outcome> OffConfirmer::sendAndConfirm()
{
    co_await sendOffLines();
    const Outcome outcome = co_await confirm();
    co_return outcome;
}

QCoro::Task<OffConfirmer::Outcome> OffConfirmer::confirm()
{
    const double limit = offLimit();
    std::optional<double> amps;
    for (int told = 0; told < 2; ++told) {
        if (told > 0) {
            m_trace.TraceLine(QStringLiteral("The load still reads %1 A after its off lines: it is told again")
                                  .arg(NumberText::shortest(*amps)));
            co_await sendOffLines();
        }
        for (int reading = 0; reading <= SettleReadings; ++reading) {
            if (reading > 0) {
                const bool waited = co_await m_clock.waitMs(SettleMs, m_cancel);
                if (!waited)
                    co_return Outcome{};
            }
            amps = co_await readCurrent();
            if (!amps || cancelled())
                co_return Outcome{};
            if (std::abs(*amps) <= limit)
                co_return Outcome{Kind::Confirmed, *amps, {}};
            // Once told again, one reading says it: the load had its settling time.
            if (told > 0)
                break;
        }
    }
    co_return Outcome{Kind::StillOn, *amps, {}};
}

QCoro::Task<OffConfirmer::Outcome> OffConfirmer::reopenAndConfirm(int reopenLimitMs)
{
    m_load.setWaitLimit(reopenLimitMs);
    co_await m_load.LinkReopen();
    m_load.setWaitLimit(0);
    if (cancelled() || !m_load.isConnected())
        co_return Outcome{};
    // A reply to a question of the connection before may come first: a second question tells it
    // from another instrument.
    for (int ask = 0; ask < 2 && !m_expectedModel.isEmpty(); ++ask) {
        m_load.setWaitLimit(m_replyLimitMs);
        const QString model = co_await m_load.ask(QStringLiteral("name?"));
        m_load.setWaitLimit(0);
        if (cancelled() || model.isEmpty() || model == ErrRec)
            co_return Outcome{};
        if (model == m_expectedModel)
            break;
        if (ask == 1)
            co_return Outcome{Kind::Foreign, 0, model};
    }
    const Outcome outcome = co_await sendAndConfirm();
    co_return outcome;
}
