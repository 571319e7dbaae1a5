#include "KOVAApplication.h"

#include "IDialogs.h"
#include "SingleInstance.h"
#include "TfrmMain.h"
#include "uKOVA_XML.h"

#include <QApplication>

namespace {

const QString KAlreadyRunning = QStringLiteral(
    "There is already another instance of KOVA running. You can only run one instance of KOVA "
    "at the same time.");
const QString KNoLock = QStringLiteral(
    "KOVA cannot start: the lock that keeps it to one running copy could not be taken.\n%1");
const QString KNoXmlDom = QStringLiteral(
    "Error: No installed XML DOM implementation was found. Cannot initialize application. Please "
    "install an XML DOM implementation, like Microsoft XML 4, on your computer. See readme file "
    "for further information.");

// The XML library is linked into the program, so a DOM is always there; the check stays for a
// build that loads one at run time.
bool XmlDomAvailable()
{
    return true;
}

} // namespace

TKOVAStartup::TKOVAStartup() = default;

TKOVAStartup::~TKOVAStartup()
{
    // The window goes before the lock, so a second copy never finds a half-closed first one.
    FMainWindow.reset();
    FInstance.reset();
}

bool TKOVAStartup::Start(const QString& appDir, const QStringList& arguments)
{
    FInstance = std::make_unique<TSingleInstance>(QStringLiteral("KOVA"));
    if (FInstance->State() == TSingleInstance::siFailed) {
        Dialogs().MessageBox(nullptr, QStringLiteral("Error"),
                             KNoLock.arg(FInstance->ErrorString()), TMsgDlgType::mtError, mbOK);
        FExitStatus = esStartupFailed;
        return false;
    }
    if (FInstance->State() == TSingleInstance::siAlreadyRunning) {
        Dialogs().MessageBox(nullptr, QStringLiteral("Error"), KAlreadyRunning,
                             TMsgDlgType::mtError, mbOK);
        FExitStatus = esAlreadyRunning;
        return false;
    }
    if (!XmlDomAvailable()) {
        Dialogs().MessageBox(nullptr, QStringLiteral("Fatal Error"), KNoXmlDom,
                             TMsgDlgType::mtError, mbOK);
        FExitStatus = esStartupFailed;
        return false;
    }
    QCoreApplication::processEvents();
    // The title of the game served until the settings name it. Qt would append a display name
    // to every window's title, the main window's own included, so the dialogs add this one.
    SetApplicationTitle(QStringLiteral("UT2004 KOVA"));
    FMainWindow = std::make_unique<TfrmMain>(appDir, arguments);
    if (FMainWindow->StartupState() != TStartupState::ssRunning) {
        FExitStatus = esStartupFailed;
        return false;
    }
    return true;
}

int RunKOVA(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KOVA"));
    TKOVAStartup startup;
    if (!startup.Start(QCoreApplication::applicationDirPath(), QCoreApplication::arguments()))
        return startup.ExitStatus();
    startup.MainWindow()->show();
    // The first showing handles a switch and then processes pending events (the window may
    // grow), which can take the queued end before the loop runs; the loop would then never end.
    if (startup.MainWindow()->EndRequested())
        return startup.MainWindow()->ExitStatus();
    const int status = app.exec();
    return status != 0 ? status : startup.MainWindow()->ExitStatus();
}
