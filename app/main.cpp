// The quillon program: a Qt application whose whole life is the application object's
// InitInstance. The exit code is always 0.
#include <QApplication>

#include "app/QuillonApp.h"
#include "platform/CommandLine.h"
#include "res/ResourceIds.h"
#include "widgets/ResourceImages.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);  // takes Qt's own options (-style ...) out of argv
    QApplication::setApplicationName(QStringLiteral("quillon"));
    QApplication::setDesktopFileName(QStringLiteral("quillon"));
    QApplication::setWindowIcon(LoadIconResource(IDI_QUILLON));
    theApp.SetCommandLine(JoinCommandLine(argc, argv));
    theApp.InitInstance();
    return 0;
}
