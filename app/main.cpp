#include "PlatformChoice.h"
#include "Program.h"
#include "TapdeckApplication.h"

int main(int argc, char** argv) {
    PreferX11Platform(argc, argv);
    TTapdeckApplication application(argc, argv);
    ReportWaylandLimits();
    TTapdeckApplication::SetTitle(TTapdeckApplication::Title());
    TProgram program;
    QObject::connect(&program.CmdMain, &TCmdMain::Closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return application.exec();
}
