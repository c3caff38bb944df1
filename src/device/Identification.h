#pragma once

#include "device/ModelCapabilities.h"
#include "device/RatingTable.h"
#include "link/InstrumentLink.h"
#include "link/Waker.h"
#include "model/LoadRatings.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

class CancelToken;
class InstrumentLink;

// Identification: connects the instruments, asks the load for its model, finds its rated current
// and decides which test functions the model offers. The window shows the texts it holds and the
// sequencer scales the external-input and generator commands with the rated current.
class Identification : public QObject
{
    Q_OBJECT

public:
    explicit Identification(
        InstrumentLink &load, RatingTable table = RatingTable::builtIn(), QObject *parent = nullptr);

    // The generator link, asked only while `AFGEnable` reads 1.
    void setGeneratorLink(InstrumentLink *generator) { m_generator = generator; }
    // `AFGEnable` of the settings, read at each identification.
    void setAFGEnable(std::function<int()> afgEnable) { m_afgEnable = std::move(afgEnable); }
    void setRatingTable(RatingTable table) { m_table = std::move(table); }

    // Each request gives one identification 100 ms later.
    void requestIdentification() { m_identifyDelay.start(); }
    bool isIdentificationRequested() const { return m_identifyDelay.isActive(); }
    // Starts one identification, unless one is under way or a run holds the links: the request
    // is then served once that is over.
    void identifyWhenFree();
    // One identification, awaited: it starts once any identification under way has ended, so
    // two never share the link.
    QCoro::Task<> identify(const CancelToken *cancel = nullptr);
    // While held (a run has the links), requests wait for the release.
    void setHeld(bool held);

    const QString &ModelName() const { return m_modelName; }
    // The load answered the last identification's question.
    bool loadAnswered() const { return !m_modelName.isEmpty() && m_modelName != ErrRec; }
    // What a run is kept under: the model text and the rated current, nothing when the load did
    // not answer (a rating left from another load would be taken for this one's).
    QString runModel() const { return loadAnswered() ? m_nameLabel : QString(); }
    QString runRatedCurrent() const { return loadAnswered() ? m_ratedCurrent : QString(); }
    const QString &RatedCurrent() const { return m_ratedCurrent; }
    // The model text of the window: the load's model, " + " and the generator's model.
    const QString &NameLabel() const { return m_nameLabel; }
    // The sequencer marks the shown model text while a Sequence Load runs.
    void setNameLabel(const QString &text);
    const QString &AMaxLabel() const { return m_aMaxLabel; }
    // What the step judge holds a program to: the ratings the last identification found for the
    // load that answered it; none when the load did not answer or its model has no rating (the
    // rated current shown may then be an earlier model's).
    LoadRatings ratings() const;
    // What the model allows, judged at the last identification.
    const ModelCapabilities &capabilities() const { return m_capabilities; }
    // The functions the step editor offers, in catalogue order.
    const QStringList &offeredFunctions() const { return m_offeredFunctions; }
    // What the window shows, as three lines for the headless runner: "Model: ",
    // "Rated current: " and "Functions: " with the functions joined by ", ".
    QStringList summaryLines() const;

Q_SIGNALS:
    void ModelNameChanged(const QString &modelName);
    void RatedCurrentChanged(const QString &ratedCurrent);
    void NameLabelChanged(const QString &text);
    void AMaxLabelChanged(const QString &text);
    void offeredFunctionsChanged(const QStringList &functions);
    // Emitted as an identification begins to connect and ask.
    void identifying();
    // Emitted at the end of every identification, with the function list rebuilt.
    void identified();

private:
    // Connects, asks and rates; stops early at a name or reply that cannot be read.
    QCoro::Task<> askInstruments(bool generatorEnabled);
    bool rateModel();

    void setModelName(const QString &text);
    void setRatedCurrent(const QString &text);
    void setAMaxLabel(const QString &text);
    void setOfferedFunctions(const QStringList &functions);

    InstrumentLink &m_load;
    InstrumentLink *m_generator = nullptr;
    std::function<int()> m_afgEnable;
    RatingTable m_table;
    QTimer m_identifyDelay;
    bool m_identifying = false;
    bool m_askedAgain = false;
    bool m_held = false;
    // Woken at the end of every identification, for one that waits its turn.
    Waker m_done;

    QString m_modelName;
    QString m_ratedCurrent;
    QString m_nameLabel;
    QString m_aMaxLabel;
    // The ratings found for the model that answered last; none when it has no entry.
    std::optional<LoadRatings> m_ratings;
    QStringList m_offeredFunctions;
    ModelCapabilities m_capabilities;
};
