#include "Program.h"
#include "TapdeckApplication.h"

int main(int argc, char** argv) {
    TTapdeckApplication application(argc, argv);
    TTapdeckApplication::SetTitle(TTapdeckApplication::Title());
    TProgram program;
    QObject::connect(&program.CmdMain, &TCmdMain::Closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return application.exec();
}
