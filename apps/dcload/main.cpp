#include "link/ConnectInstruments.h"
#include "link/SystemClock.h"
#include "link/TraceList.h"
#include "link/TransportLink.h"
#include "model/TestProgram.h"
#include "results/ResultLog.h"
#include "run/RunController.h"
#include "settings/MeasureOptions.h"
#include "settings/ProgramFolder.h"
#include "settings/Settings.h"
#include "ui/ConnectionSetupForm.h"
#include "ui/MainForm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vornic-dcload"));

    Settings settings;
    MeasureOptions options;
    TestProgram program;
    TraceList trace;
    ResultLog results;
    Clock &clock = SystemClock::instance();
    TransportLink load(
        LinkRole::Load, [&settings] { return settings.loadLink; }, clock, trace);
    TransportLink generator(
        LinkRole::Generator, [&settings] { return settings.generatorLink; }, clock, trace);

    MainForm form({settings, options, program, trace, results, load, &generator, clock, ProgramFolder::path()});
    load.setRunState(&form.runController()->state());
    generator.setRunState(&form.runController()->state());
    QObject::connect(&load, &TransportLink::message, &form, &MainForm::showMessage);
    QObject::connect(&generator, &TransportLink::message, &form, &MainForm::showMessage);
    form.setConnectionDialog([&settings, &form] {
        ConnectionSetupForm dialog(settings, settings.IniPath, &form);
        dialog.exec();
    });
    form.setIdentify([&] { ConnectInstruments(load, generator, settings.AFGEnable == 1); });

    form.Form_Load(defaultIniPath());
    form.show();
    return QApplication::exec();
}
