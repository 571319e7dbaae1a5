#include "KOVAApplication.h"

#include <QApplication>
#include <QMainWindow>

int RunKOVA(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KOVA"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("UT2003 KOVA"));
    window.resize(800, 600);
    window.show();
    return app.exec();
}
