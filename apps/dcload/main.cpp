#include "link/SystemClock.h"
#include "run/Engine.h"
#include "settings/ProgramFolder.h"
#include "ui/MainForm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vornic-dcload"));

    Engine engine(SystemClock::instance());
    MainForm form(engine, ProgramFolder::path());
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
