// vornic-sim: the virtual electronic load and function generator, on TCP and a pseudo-terminal.

#include "FaultSet.h"
#include "PtyTransport.h"
#include "SharedFaults.h"
#include "SignalQuitter.h"
#include "SimInstruments.h"
#include "SimLog.h"
#include "SimTcpListener.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "vornic-sim: %s\n", qPrintable(message));
    return 2;
}

void announce(const QString &line)
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

std::optional<double> numberOption(const QCommandLineParser &parser, const QString &name, QString *error)
{
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || value < 0) {
        *error = QStringLiteral("--%1 needs a number from 0 up, not \"%2\"").arg(name, parser.value(name));
        return std::nullopt;
    }
    return value;
}

std::optional<quint16> portOption(const QCommandLineParser &parser, const QString &name, QString *error)
{
    bool ok = false;
    const uint value = parser.value(name).toUInt(&ok);
    if (!ok || value > 65535) {
        *error = QStringLiteral("--%1 needs a port from 0 to 65535, not \"%2\"").arg(name, parser.value(name));
        return std::nullopt;
    }
    return static_cast<quint16>(value);
}

// The source's parameters: the chosen kind's defaults, then whatever the command line changes.
bool readSource(const QCommandLineParser &parser, SourceModel::Parameters &source, QString *error)
{
    const QString kind = parser.value(QStringLiteral("source"));
    if (kind == QLatin1String("battery"))
        source = SourceModel::batteryDefaults();
    else if (kind == QLatin1String("supply"))
        source = SourceModel::supplyDefaults();
    else {
        *error = QStringLiteral("--source is battery or supply, not \"%1\"").arg(kind);
        return false;
    }
    const QList<std::pair<QString, double *>> fields{
        {QStringLiteral("voltage"), &source.fullVolts},
        {QStringLiteral("empty-voltage"), &source.emptyVolts},
        {QStringLiteral("capacity"), &source.capacityAh},
        {QStringLiteral("resistance"), &source.resistanceOhm},
        {QStringLiteral("current-limit"), &source.currentLimitA},
        {QStringLiteral("rated-current"), &source.loadMaxA},
    };
    for (const auto &[name, field] : fields) {
        if (!parser.isSet(name))
            continue;
        const std::optional<double> value = numberOption(parser, name, error);
        if (!value)
            return false;
        *field = *value;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vornic-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORNIC_VERSION));
    std::signal(SIGPIPE, SIG_IGN);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A virtual electronic load and function generator that speak the instruments' protocol.\n"
                       "Prints one line per listener on start: \"load tcp 127.0.0.1:PORT\",\n"
                       "\"load pty PATH -> DEVICE\", \"generator tcp 127.0.0.1:PORT\".\n\n")
        + FaultSet::help());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("tcp"), QStringLiteral("Serve the load on loopback TCP PORT (0 = a free port)."),
            QStringLiteral("PORT")},
        {QStringLiteral("pty"), QStringLiteral("Serve the load on a pseudo-terminal linked at PATH."),
            QStringLiteral("PATH")},
        {QStringLiteral("gen-tcp"), QStringLiteral("Serve the generator on loopback TCP PORT (0 = a free port)."),
            QStringLiteral("PORT")},
        {QStringLiteral("model"), QStringLiteral("The load's reply to \"name?\" (default 6312C)."),
            QStringLiteral("NAME"), QStringLiteral("6312C")},
        {QStringLiteral("gen-idn"), QStringLiteral("The generator's reply to \"*idn?\"."), QStringLiteral("TEXT"),
            QStringLiteral("Vornic,VAFG-1,0001,1.0")},
        {QStringLiteral("source"),
            QStringLiteral("battery (12.6 V full, 10 V empty, 2 Ah, 0.05 Ohm) or supply "
                           "(12 V, 5 A limit, 0.01 Ohm)."),
            QStringLiteral("KIND"), QStringLiteral("battery")},
        {QStringLiteral("voltage"), QStringLiteral("Battery voltage when full, or the supply's voltage."),
            QStringLiteral("V")},
        {QStringLiteral("empty-voltage"), QStringLiteral("Battery open-circuit voltage when its capacity is drawn."),
            QStringLiteral("V")},
        {QStringLiteral("capacity"), QStringLiteral("Battery capacity."), QStringLiteral("AH")},
        {QStringLiteral("resistance"), QStringLiteral("Internal resistance of the source."), QStringLiteral("OHM")},
        {QStringLiteral("current-limit"), QStringLiteral("The supply's current limit."), QStringLiteral("A")},
        {QStringLiteral("rated-current"), QStringLiteral("The most the load sinks (default 60)."), QStringLiteral("A")},
        {QStringLiteral("speed"), QStringLiteral("Simulated time runs FACTOR times faster than real time."),
            QStringLiteral("FACTOR"), QStringLiteral("1")},
        {QStringLiteral("log"), QStringLiteral("Write every received line to FILE."), QStringLiteral("FILE")},
        {QStringLiteral("log-us"), QStringLiteral("Stamp the log's lines in microseconds, not milliseconds.")},
        {QStringLiteral("fault"), QStringLiteral("Inject faults into the load's link (see above)."),
            QStringLiteral("FAULT")},
    });
    // Bad arguments end with status 2, whatever the parser would do by itself.
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    if (!parser.isSet(QStringLiteral("tcp")) && !parser.isSet(QStringLiteral("pty"))
        && !parser.isSet(QStringLiteral("gen-tcp")))
        return fail(QStringLiteral("nothing to serve: give --tcp, --pty and/or --gen-tcp (see --help)"));

    QString error;
    SimConfig config;
    config.model = parser.value(QStringLiteral("model")).toUtf8();
    config.generatorIdentity = parser.value(QStringLiteral("gen-idn")).toUtf8();
    if (!readSource(parser, config.source, &error))
        return fail(error);
    const std::optional<double> speed = numberOption(parser, QStringLiteral("speed"), &error);
    if (!speed || *speed <= 0)
        return fail(QStringLiteral("--speed needs a number above 0"));
    FaultSet faults;
    for (const QString &text : parser.values(QStringLiteral("fault"))) {
        if (!faults.add(text, &error))
            return fail(error);
    }
    if (!faults.check(&error))
        return fail(error);
    std::unique_ptr<SimLog> log;
    if (parser.isSet(QStringLiteral("log"))) {
        log = std::make_unique<SimLog>();
        if (!log->open(parser.value(QStringLiteral("log")), &error))
            return fail(error);
        log->setMicroseconds(parser.isSet(QStringLiteral("log-us")));
    }

    SimInstruments instruments(config, *speed, log.get());
    SignalQuitter quitter;
    SharedFaults sharedFaults(faults);
    QObject::connect(
        &sharedFaults, &SharedFaults::outageBegan, [](int ms) { announce(QStringLiteral("load outage %1").arg(ms)); });
    QObject::connect(&sharedFaults, &SharedFaults::outageEnded, [] { announce(QStringLiteral("load listening")); });
    std::unique_ptr<SimTcpListener> loadTcp;
    std::unique_ptr<PtyTransport> loadPty;
    std::unique_ptr<SimTcpListener> generatorTcp;
    if (parser.isSet(QStringLiteral("tcp"))) {
        const std::optional<quint16> port = portOption(parser, QStringLiteral("tcp"), &error);
        loadTcp = std::make_unique<SimTcpListener>(instruments, SimInstrument::Load, faults, &sharedFaults);
        if (!port || !loadTcp->listen(*port, &error))
            return fail(error);
        announce(QStringLiteral("load tcp 127.0.0.1:%1").arg(loadTcp->port()));
    }
    if (parser.isSet(QStringLiteral("pty"))) {
        loadPty = std::make_unique<PtyTransport>(instruments, faults, &sharedFaults);
        if (!loadPty->open(parser.value(QStringLiteral("pty")), &error))
            return fail(error);
        QObject::connect(loadPty.get(), &PtyTransport::reopened, [](const QString &link, const QString &device) {
            announce(QStringLiteral("load pty %1 -> %2").arg(link, device));
        });
        announce(QStringLiteral("load pty %1 -> %2").arg(loadPty->linkPath(), loadPty->devicePath()));
    }
    if (parser.isSet(QStringLiteral("gen-tcp"))) {
        const std::optional<quint16> port = portOption(parser, QStringLiteral("gen-tcp"), &error);
        generatorTcp = std::make_unique<SimTcpListener>(instruments, SimInstrument::Generator, FaultSet());
        if (!port || !generatorTcp->listen(*port, &error))
            return fail(error);
        announce(QStringLiteral("generator tcp 127.0.0.1:%1").arg(generatorTcp->port()));
    }
    return app.exec();
}
