#include "link/SystemClock.h"
#include "run/Engine.h"
#include "settings/ProgramFolder.h"
#include "ui/MainForm.h"
#include "ui/MainWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vornic-dcload"));

    Engine engine(SystemClock::instance());
    MainWindow window(engine, SystemClock::instance(), ProgramFolder::path());
    window.form()->Form_Load();
    window.show();
    return QApplication::exec();
}
