#include "RunsOptions.h"

#include "RunsConsole.h"

#include "settings/Settings.h"
#include "store/RunStore.h"
#include "store/StoreServer.h"

#include <QDir>
#include <QFileInfo>

std::optional<RunsOptions> RunsOptions::parse(const QStringList &arguments, QString *error)
{
    RunsOptions options;
    auto fail = [error](const QString &reason) {
        *error = reason;
        return std::nullopt;
    };
    qsizetype i = 1;
    for (; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const auto value = [&](QString &into) {
            if (i + 1 >= arguments.size())
                return false;
            into = arguments.at(++i);
            return true;
        };
        if (argument == u"--help" || argument == u"-h") {
            options.help = true;
        } else if (argument == u"--version") {
            options.version = true;
        } else if (argument == u"--settings") {
            if (!value(options.settingsPath))
                return fail(QStringLiteral("--settings needs a file name"));
        } else if (argument == u"--store") {
            if (!value(options.storePath))
                return fail(QStringLiteral("--store needs a file name"));
            options.storeGiven = true;
        } else if (argument == u"--server") {
            options.server = true;
        } else if (argument.startsWith(u'-')) {
            return fail(QStringLiteral("unknown option %1").arg(argument));
        } else {
            break;
        }
    }
    if (options.help || options.version)
        return options;
    if (options.storeGiven && options.server)
        return fail(QStringLiteral("give --store or --server, not both"));
    if (i >= arguments.size())
        return fail(QStringLiteral("no command given"));
    options.command = arguments.at(i);
    options.arguments = arguments.mid(i + 1);
    return options;
}

void RunsOptions::settle()
{
    if (settingsPath.isEmpty())
        settingsPath = defaultIniPath();
    if (storePath.isEmpty())
        storePath = QDir(QFileInfo(settingsPath).absolutePath()).filePath(RunStore::FileName);
}

QString RunsOptions::usage()
{
    return QStringLiteral(
        "usage: vornic-runs [--settings VORN.INI] [--store FILE.sqlite | --server] COMMAND ...\n"
        "\n"
        "commands:\n"
        "  list [--program TEXT] [--model TEXT] [--station TEXT] [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
        "       [--result PASS|FAIL|STOPPED|LOST|ERROR|UNFINISHED] [--waiting]\n"
        "                            the stored runs, newest first; with --waiting, only the bench's\n"
        "                            runs the lab's server does not hold whole yet, each with why:\n"
        "                            not sent yet, or refused by the server with its reason (such a\n"
        "                            run is offered again after a pause, and the others go on). RESULT\n"
        "                            adds \"INCOMPLETE (N samples missing)\" for a run whose store could\n"
        "                            not take every sample (its CSV log has them: see import), \"load not\n"
        "                            confirmed off\" until a later try finds its load off, and then when\n"
        "  show UUID                 a run's fields and its steps\n"
        "  export UUID --csv FILE    a run's samples as CSV (\"-\": standard output)\n"
        "  export UUID --json FILE   the whole run as JSON (\"-\": standard output)\n"
        "  report UUID FILE.pdf      the run's report as PDF\n"
        "  forward                   send what the lab's server lacks of this bench's runs, now\n"
        "  import LOG.CSV [--program FILE]\n"
        "                            a run's CSV log into this bench's store: it completes the stored run\n"
        "                            that wrote it, or becomes a run of its own (with --program, the\n"
        "                            program it ran); forwarded like any run\n"
        "  lab [--watch]             every station the lab's server knows, one row each: RUNNING, FINISHED\n"
        "                            or IDLE, or SILENT with the seconds since it was last heard (after\n"
        "                            10 s), its program, step, V, I, Ah, elapsed time, the step's time\n"
        "                            left, the program's estimated end, the last result; from the server\n"
        "                            of the settings file's [Store] section. --watch prints it again every\n"
        "                            2 s until Ctrl+C\n"
        "  compare RUN... [--by time|ah] [--align-step N] [--nominal AH [--threshold PCT]] [--server]\n"
        "          [--quantity v|i|w] [--csv FILE] [--png FILE] [--pdf FILE]\n"
        "  compare [list's filters] [same options as above]\n"
        "                            several runs compared, written with at least one of --csv, --png and\n"
        "                            --pdf (\"-\": standard output, for one of them): --csv the runs' figures\n"
        "                            side by side: Ah, Wh, seconds, end and lowest voltage, how each ended,\n"
        "                            then their mean, min, max and standard deviation; --png the runs' curves\n"
        "                            of V, I or W (--quantity, v unless given) over each other, 1600 x 900,\n"
        "                            by time or by Ah drawn (--by, time unless given); --pdf an A4 landscape\n"
        "                            report of both, with which run is which. With --align-step, from the\n"
        "                            first pass of step N on; with --nominal, each run's state of health\n"
        "                            (Ah over AH), PASS from PCT percent on (80 unless given). Without RUN,\n"
        "                            the runs list's filters pick\n"
        "\n"
        "A UUID may be shortened to any start of it that names one run.\n"
        "\n"
        "  --settings VORN.INI       the settings file (unless given, VORN.INI where the window and vornic-run\n"
        "                            keep it: ~/.local/share/vornic for installed programs)\n"
        "  --store FILE.sqlite       the store to read (runs.sqlite beside the settings file unless given)\n"
        "  --server                  the lab's server, from the settings file's [Store] section\n"
        "  --help                    this text\n"
        "  --version                 the program's version\n"
        "\n"
        "Exit status: 0 done, 1 failed, 2 the command line does not fit.\n");
}

std::optional<RunArchive> RunsOptions::openArchive(QString *error) const
{
    std::optional<RunArchive> archive;
    if (server) {
        const StoreServer lab = StoreServer::fromIni(settingsPath, error);
        // A fault that leaves the server usable (the station's name) is said and read past.
        if (!error->isEmpty() && !lab.isSet())
            return std::nullopt;
        if (!error->isEmpty())
            RunsConsole::note(*error);
        error->clear();
        if (!lab.isSet()) {
            *error = QStringLiteral("%1 names no server: its [Store] section has no Host").arg(settingsPath);
            return std::nullopt;
        }
        archive.emplace(RunArchive::server(lab));
    } else {
        archive.emplace(RunArchive::local(storePath));
    }
    if (!archive->open(error))
        return std::nullopt;
    return archive;
}

bool RunsOptions::openRun(const QString &uuidOrPrefix, std::optional<RunArchive> &archive,
    std::optional<StoredRun> &run, QString *error) const
{
    archive.reset();
    if (std::optional<RunArchive> opened = openArchive(error))
        archive.emplace(std::move(*opened));
    if (archive)
        run = archive->run(uuidOrPrefix, error);
    return archive && run;
}
