#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "settings/ProgramFolder.h"

#include <QGuiApplication>
#include <memory>

namespace {

struct Command
{
    const char *name;
    int (*run)(const RunsOptions &);
    // Whether the command draws, given its words: drawing needs QtGui's fonts and so a platform;
    // the other commands start faster without.
    bool (*draws)(const QStringList &arguments) = nullptr;
};

bool always(const QStringList &) { return true; }

// compare draws its curves for a picture or a PDF; its CSV alone needs no drawing.
bool drawsCurves(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--png")) || arguments.contains(QStringLiteral("--pdf"));
}

// A new command is one more row here and its function in RunsCommands.
constexpr Command Commands[] = {
    {"list", &RunsCommands::list},
    {"show", &RunsCommands::show},
    {"export", &RunsCommands::exportRun},
    {"report", &RunsCommands::report, &always},
    {"forward", &RunsCommands::forward},
    {"import", &RunsCommands::importLog},
    {"compare", &RunsCommands::compare, &drawsCurves},
    {"lab", &RunsCommands::lab},
};

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int k = 0; k < argc; ++k)
        arguments.append(QString::fromLocal8Bit(argv[k]));
    QString error;
    const std::optional<RunsOptions> options = RunsOptions::parse(arguments, &error);
    if (!options)
        return RunsConsole::misuse(error);
    if (options->help) {
        RunsConsole::print(RunsOptions::usage());
        return RunsConsole::Done;
    }
    if (options->version) {
        RunsConsole::print(QStringLiteral("vornic-runs %1\n").arg(QStringLiteral(VORNIC_VERSION)));
        return RunsConsole::Done;
    }
    const Command *command = nullptr;
    for (const Command &each : Commands) {
        if (options->command == QLatin1String(each.name))
            command = &each;
    }
    if (!command)
        return RunsConsole::misuse(QStringLiteral("unknown command \"%1\"").arg(options->command));
    std::unique_ptr<QCoreApplication> app;
    if (command->draws && command->draws(options->arguments)) {
        // A platform without a display, so that reports are made on a server or over ssh too.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    RunsOptions settled = *options;
    settled.settle();
    if (const QString moved = ProgramFolder::movedNote(); !moved.isEmpty())
        RunsConsole::note(moved);
    return command->run(settled);
}
