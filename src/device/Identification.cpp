#include "device/Identification.h"

#include "device/ModelCapabilities.h"
#include "device/ModelReply.h"
#include "link/InstrumentLink.h"

#include "link/CancelToken.h"
#include "link/WakeAwaiter.h"
#include "model/NumberText.h"

namespace {
// How long one waiting for its turn sleeps before it looks again, should a wake be missed.
constexpr int IdentificationTurnMs = 1000;
} // namespace

Identification::Identification(InstrumentLink &load, RatingTable table, QObject *parent)
    : QObject(parent), m_load(load), m_table(std::move(table))
{
    m_identifyDelay.setSingleShot(true);
    m_identifyDelay.setInterval(100);
    connect(&m_identifyDelay, &QTimer::timeout, this, &Identification::identifyWhenFree);
}

void Identification::identifyWhenFree()
{
    m_identifyDelay.stop();
    // A request made while the links are busy is served once they are free, never inside.
    if (m_identifying || m_held) {
        m_askedAgain = true;
        return;
    }
    identify();
}

void Identification::setHeld(bool held)
{
    m_held = held;
    if (!held && !m_identifying && std::exchange(m_askedAgain, false))
        m_identifyDelay.start();
}

QCoro::Task<> Identification::identify(const CancelToken *cancel)
{
    while (m_identifying) {
        co_await WakeAwaiter(IdentificationTurnMs, &m_done, cancel);
        if (cancel && cancel->isCancelled())
            co_return;
    }
    m_identifying = true;
    Q_EMIT identifying();
    const bool generatorEnabled = m_afgEnable && m_afgEnable() == 1;

    setNameLabel(ErrRec);
    m_ratings.reset();
    co_await askInstruments(generatorEnabled);
    // A rating beside no model would be read as the silent load's.
    if (!loadAnswered())
        setAMaxLabel(QString());
    // Whatever stopped the questions, the chooser offers what the shown model text allows.
    m_capabilities = ModelCapabilities::of(m_nameLabel, generatorEnabled);
    setOfferedFunctions(m_capabilities.offeredFunctions());

    m_identifying = false;
    m_done.wake();
    Q_EMIT identified();
    if (!m_held && std::exchange(m_askedAgain, false))
        m_identifyDelay.start();
}

QCoro::Task<> Identification::askInstruments(bool generatorEnabled)
{
    InstrumentLink *generator = generatorEnabled ? m_generator : nullptr;
    co_await m_load.LinkConnect();
    if (generator)
        co_await generator->LinkConnect();

    const QString model = co_await m_load.ask(QStringLiteral("name?"));
    setModelName(model);
    setNameLabel(m_modelName);
    if (!rateModel())
        co_return;

    if (generator) {
        const QString idn = co_await generator->ask(QStringLiteral("*idn?"));
        const std::optional<QString> generatorModel = ModelReply::generatorModel(idn);
        if (!generatorModel)
            co_return;
        setNameLabel(m_nameLabel + QStringLiteral(" + ") + *generatorModel);
    }
    setAMaxLabel(m_ratedCurrent);
}

bool Identification::rateModel()
{
    const ModelReply::Rating rating = ModelReply::rating(m_modelName, m_table);
    // No entry: the rating found before stays.
    if (rating.current)
        setRatedCurrent(*rating.current);
    m_ratings.reset();
    if (const std::optional<double> amps = rating.current ? NumberText::strict(*rating.current) : std::nullopt)
        m_ratings = LoadRatings{*amps > 0 ? amps : std::nullopt, rating.voltage, rating.power};
    return rating.readable;
}

LoadRatings Identification::ratings() const { return loadAnswered() && m_ratings ? *m_ratings : LoadRatings(); }

QStringList Identification::summaryLines() const
{
    return {QStringLiteral("Model: ") + m_nameLabel, QStringLiteral("Rated current: ") + m_aMaxLabel,
        QStringLiteral("Functions: ") + m_offeredFunctions.join(QStringLiteral(", "))};
}

void Identification::setModelName(const QString &text)
{
    if (std::exchange(m_modelName, text) != text)
        Q_EMIT ModelNameChanged(text);
}

void Identification::setRatedCurrent(const QString &text)
{
    if (std::exchange(m_ratedCurrent, text) != text)
        Q_EMIT RatedCurrentChanged(text);
}

void Identification::setNameLabel(const QString &text)
{
    if (std::exchange(m_nameLabel, text) != text)
        Q_EMIT NameLabelChanged(text);
}

void Identification::setAMaxLabel(const QString &text)
{
    if (std::exchange(m_aMaxLabel, text) != text)
        Q_EMIT AMaxLabelChanged(text);
}

void Identification::setOfferedFunctions(const QStringList &functions)
{
    m_offeredFunctions = functions;
    // Always told: the chooser is rebuilt and loses its selection at every identification.
    Q_EMIT offeredFunctionsChanged(functions);
}
