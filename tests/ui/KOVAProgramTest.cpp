#include "KOVAApplication.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TfrmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QWindow>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

// The program itself, run as a user or a file manager runs it.
class KOVAProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void installCacheInstallsWhatItCanAndEnds();
    void playDemoStartsTheGameAndEndsWithoutWaiting();
    void settingsSurviveARebuildAndTheNextRun_data();
    void settingsSurviveARebuildAndTheNextRun();
    void installCacheWithoutAGameFolderEndsWithAnError();
    void installCacheThatCannotMoveAFileEndsWithAnError();
    void replaceQuestionsOfTheCacheMoveAreAnswered();

private:
    // The program copied into the fixture's program folder, run offscreen to its end: its exit
    // code, or -1 when it crashed or did not end.
    int Run(const QStringList& arguments) const;
    // The main window with that switch, created and shown as the program does, in this process.
    std::unique_ptr<TfrmMain> RunWindow(const QString& switchName) const;
    void WriteDownloadCache() const;

    std::unique_ptr<TProgramFixture> FFixture;
};

namespace {

// Ends a test only when something hangs: no passing run waits this long, however slow the
// machine.
constexpr int KHungMs = 60000;

const QByteArray KIndex = "[Cache]\r\n"
                          "GOOD-1=Good.u\r\n"
                          "MISS-1=Missing.u\r\n"
                          "TEXT-1=Good.utx\r\n"
                          "EVIL-1=..\\..\\Evil.u\r\n"
                          "\r\n"
                          "[Other]\r\n"
                          "GOOD-1=Good.u\r\n";

// Answers the replace questions of a running operation in the Qt message boxes themselves,
// through the window system as a user would: a question a modal window blocks takes no answer.
// The first question is left open a while, longer than a progress window waits before it shows
// itself (a slow machine only leaves it open longer); the second is answered with the mouse, the
// third with Escape.
class TQuestionAnswerer final : public QObject
{
public:
    TQuestionAnswerer()
    {
        connect(&FTimer, &QTimer::timeout, this, &TQuestionAnswerer::Poll);
        FTimer.start(20);
    }

    QStringList Titles;        // of each question, as the user reads it
    int ProgressOverFirst = 0; // progress windows shown while the first question waited
    bool ProgressUnderSecond = false;
    bool Blocked = false; // a question took no answer and had to be closed

private:
    static QList<QWidget*> Visible(const char* className)
    {
        QList<QWidget*> found;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && widget->inherits(className))
                found << widget;
        return found;
    }

    void Poll()
    {
        const QList<QWidget*> boxes = Visible("QMessageBox");
        auto* box = boxes.isEmpty() ? nullptr : static_cast<QMessageBox*>(boxes.first());
        if (box != FBox) {
            FBox = box;
            FShown.start();
            FAnswered = false;
            if (box)
                Titles << box->windowTitle();
        }
        if (!box)
            return;
        if (FAnswered) {
            // An answer taken closes the box by itself; this only ends a hung test.
            if (FShown.elapsed() > KHungMs)
                Close(box);
            return;
        }
        QWindow* window = box->windowHandle();
        const QAbstractButton* pressed = nullptr; // by a key that clicks after its animation
        switch (Titles.size()) {
        case 1:
            // A progress window's own timer would show it after four seconds.
            if (FShown.elapsed() < 4500 && Visible("QProgressDialog").isEmpty())
                return;
            ProgressOverFirst = Visible("QProgressDialog").size();
            pressed = box->button(QMessageBox::No);
            QTest::keyClick(window, Qt::Key_N);
            break;
        case 2: {
            ProgressUnderSecond = !Visible("QProgressDialog").isEmpty();
            const QAbstractButton* yes = box->button(QMessageBox::Yes);
            QTest::mouseClick(window, Qt::LeftButton, {}, yes->mapTo(box, yes->rect().center()));
            break;
        }
        default:
            QTest::keyClick(window, Qt::Key_Escape);
            break;
        }
        // The input is delivered before the call returns: a box that took it has closed or
        // holds its button down, whatever the machine's speed.
        FAnswered = true;
        FShown.start();
        if (box->isVisible() && !(pressed && pressed->isDown()))
            Close(box);
    }

    // A question that took no answer (or never closed), closed so that the run goes on.
    void Close(QMessageBox* box)
    {
        Blocked = true;
        for (QWidget* progress : Visible("QProgressDialog"))
            static_cast<QProgressDialog*>(progress)->cancel();
        box->done(QMessageBox::Cancel);
    }

    QTimer FTimer;
    QPointer<QMessageBox> FBox;
    QElapsedTimer FShown;
    bool FAnswered = false;
};

} // namespace

void KOVAProgramTest::init()
{
    // A switch of an earlier test asked the application to quit, which makes every event loop
    // end at once until the application's own loop has run: run it once.
    QCoreApplication::processEvents();
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    FFixture = std::make_unique<TProgramFixture>();
}

void KOVAProgramTest::cleanup()
{
    FFixture.reset();
}

int KOVAProgramTest::Run(const QStringList& arguments) const
{
    QProcess program;
    FFixture->PrepareProgram(program, QStringLiteral(KOVA_PROGRAM), arguments);
    program.start();
    const bool ended = program.waitForFinished(KHungMs);
    return ended && program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}

std::unique_ptr<TfrmMain> KOVAProgramTest::RunWindow(const QString& switchName) const
{
    std::unique_ptr<TfrmMain> window = FFixture->CreateMainWindow({switchName});
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("The main window was not exposed");
    return window;
}

void KOVAProgramTest::WriteDownloadCache() const
{
    const TGameFolder& game = FFixture->Game();
    game.WriteFile(u"Cache/cache.ini"_s, KIndex);
    game.WriteFile(u"Cache/GOOD-1.uxx"_s, "good");
    game.WriteFile(u"Cache/TEXT-1.uxx"_s, "texture");
    game.WriteFile(u"Cache/EVIL-1.uxx"_s, "evil");
}

void KOVAProgramTest::installCacheInstallsWhatItCanAndEnds()
{
    WriteDownloadCache();
    const QByteArray settings = FFixture->ReadSettings();
    // An entry without its file and one of a hostile name make the run fail.
    QCOMPARE(Run({u"/installcache"_s}), 1);

    // The files that have a folder are moved there (how the index and hostile names fare is
    // the cache manager's test); the settings are not rewritten.
    const TGameFolder& game = FFixture->Game();
    QCOMPARE(game.ReadFile(u"System/Good.u"_s), QByteArray("good"));
    QCOMPARE(game.ReadFile(u"Textures/Good.utx"_s), QByteArray("texture"));
    QVERIFY(!QFile::exists(game.Path(u"Cache/GOOD-1.uxx"_s)));
    QCOMPARE(FFixture->ReadSettings(), settings);
}

void KOVAProgramTest::playDemoStartsTheGameAndEndsWithoutWaiting()
{
    const TGameFolder& game = FFixture->Game();
    const QString record = FFixture->Root() + u"/record"_s;
    const QString script = WriteGameScript(game, u"Game.sh"_s, record, KPlayUntilQuit);
    FFixture->SetSetting(u"exename"_s, u"Game.sh"_s);
    const QString demo = FFixture->Root() + u"/Other/My.Match.demo4"_s;
    const QByteArray bytes(40000, 'd');
    QVERIFY(WriteBytes(demo, bytes));
    const auto play = [this](const QString& file) { return Run({u"/playdemo"_s, file}); };

    // A demo from elsewhere is copied in and played; the program does not wait for the game
    // (which plays until it is told to quit), and the game plays on after it.
    QCOMPARE(play(demo), 0);
    QVERIFY(ProgramRunning(script));
    QCOMPARE(game.ReadFile(u"System/kova.txt"_s), QByteArray("demoplay My.Match\r\n"));
    QCOMPARE(game.ReadFile(u"Demos/My.Match.demo4"_s), bytes);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record + u"/cwd"_s), KHungMs);
    QCOMPARE(ReadBytes(record + u"/args"_s), QByteArray("-exec=kova.txt\n"));
    QCOMPARE(QString::fromLocal8Bit(ReadBytes(record + u"/cwd"_s)).trimmed(),
             QFileInfo(game.Path(u"System"_s)).canonicalFilePath());
    const auto quitGame = [&] {
        return WriteBytes(record + u"/quit"_s, QByteArray()) &&
               QTest::qWaitFor([&] { return !ProgramRunning(script); }, KHungMs);
    };
    QVERIFY(quitGame());
    QVERIFY(QFile::exists(record + u"/ended"_s));

    // A demo already in the Demos folder is not copied again.
    const QString inPlace = game.Path(u"Demos/My.Match.demo4"_s);
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(inPlace);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    QVERIFY(QDir(record).removeRecursively());
    QCOMPARE(play(inPlace), 0);
    QCOMPARE(QFileInfo(inPlace).lastModified(), old);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record + u"/args"_s), KHungMs);
    QVERIFY(quitGame());

    // A missing demo changes nothing and starts nothing: a game started would still be playing.
    QVERIFY(QDir(record).removeRecursively());
    QVERIFY(game.WriteFile(u"System/kova.txt"_s, "kept").size() > 0);
    QCOMPARE(play(FFixture->Root() + u"/Other/Missing.demo4"_s), 1);
    QCOMPARE(game.ReadFile(u"System/kova.txt"_s), QByteArray("kept"));
    QVERIFY(!ProgramRunning(script));
    QVERIFY(!QFile::exists(record + u"/args"_s));
}

void KOVAProgramTest::settingsSurviveARebuildAndTheNextRun_data()
{
    QTest::addColumn<bool>("portable");
    QTest::newRow("per user") << false;
    QTest::newRow("portable") << true;
}

void KOVAProgramTest::settingsSurviveARebuildAndTheNextRun()
{
    QFETCH(bool, portable);
    FFixture.reset(); // first, so that it puts the environment back before the next one
    FFixture = std::make_unique<TProgramFixture>(portable);
    QCOMPARE(Run({u"/installcache"_s}), 0);
    FFixture->SetSetting(u"iswindowsizeable"_s, u"False"_s);
    const QByteArray mine = FFixture->ReadSettings();

    // The build puts the shipped files beside the program again.
    QStringList shipped;
    for (const QFileInfo& file :
         QDir(QStringLiteral(KOVA_SOURCE_DIR "/data")).entryInfoList(QDir::Files))
        shipped << file.filePath();
    QProcess build;
    build.start(QStringLiteral(KOVA_CMAKE_COMMAND),
                {u"-DFILES="_s + shipped.join(QLatin1Char(';')), u"-DDEST="_s + FFixture->AppDir(),
                 u"-P"_s, QStringLiteral(KOVA_SOURCE_DIR "/cmake/CopyShippedData.cmake")});
    QVERIFY(build.waitForFinished(KHungMs));
    QCOMPARE(build.exitCode(), 0);
    QCOMPARE(ReadBytes(FFixture->AppFile(u"Lang.int"_s)),
             ReadBytes(QStringLiteral(KOVA_SOURCE_DIR "/data/Lang.int")));

    QCOMPARE(Run({u"/installcache"_s}), 0);
    QCOMPARE(FFixture->ReadSettings(), mine);
}

void KOVAProgramTest::installCacheWithoutAGameFolderEndsWithAnError()
{
    // The real program would first show the warning of the failed folder detection and wait
    // for the user, so this runs the window in the test with that warning answered.
    WriteDownloadCache();
    QVERIFY(QFile::remove(FFixture->Game().Path(u"System/Core.dll"_s)));
    TScriptedDialogs dialogs;
    const std::unique_ptr<TfrmMain> window = RunWindow(u"/installcache"_s);
    QVERIFY(window->EndRequested());
    QCOMPARE(window->ExitStatus(), int(esGameFolderInvalid));
    QCOMPARE(dialogs.CallsOf(TScriptedDialogs::dkMessage).size(), 1);
    QCOMPARE(dialogs.CallsOf(TScriptedDialogs::dkMessage).first().Type, TMsgDlgType::mtWarning);
    QCOMPARE(FFixture->Game().ReadFile(u"Cache/cache.ini"_s), KIndex);
    QVERIFY(QFile::exists(FFixture->Game().Path(u"Cache/GOOD-1.uxx"_s)));
    QVERIFY(!QFile::exists(FFixture->Game().Path(u"System/Good.u"_s)));
}

void KOVAProgramTest::installCacheThatCannotMoveAFileEndsWithAnError()
{
    // A recorded name longer than the file system allows: that file cannot reach its folder.
    WriteDownloadCache();
    const QString longName = QString(300, QLatin1Char('L')) + u".u"_s;
    FFixture->Game().WriteFile(
        u"Cache/cache.ini"_s, "[Cache]\r\nGOOD-1=Good.u\r\nLONG-1=" + longName.toLatin1() + "\r\n");
    FFixture->Game().WriteFile(u"Cache/LONG-1.uxx"_s, "long");
    TScriptedDialogs dialogs;
    dialogs.AnswerMessage(TModalResult::mrOk); // the error of the move
    const std::unique_ptr<TfrmMain> window = RunWindow(u"/installcache"_s);
    QVERIFY(window->EndRequested());
    QCOMPARE(window->ExitStatus(), int(esSwitchFailed));
    QCOMPARE(dialogs.CallsOf(TScriptedDialogs::dkMessage).size(), 1);
    QCOMPARE(dialogs.CallsOf(TScriptedDialogs::dkMessage).first().Type, TMsgDlgType::mtError);
    // What could go went; the file that could not keeps its file and its key.
    QCOMPARE(FFixture->Game().ReadFile(u"System/Good.u"_s), QByteArray("good"));
    QCOMPARE(FFixture->Game().ReadFile(u"Cache/LONG-1.uxx"_s), QByteArray("long"));
    QVERIFY(FFixture->Game().ReadFile(u"Cache/cache.ini"_s).contains("LONG-1="));
}

void KOVAProgramTest::replaceQuestionsOfTheCacheMoveAreAnswered()
{
    // Four files of one name: each after the first asks before it replaces the one moved.
    const TGameFolder& game = FFixture->Game();
    game.WriteFile(u"Cache/cache.ini"_s, "[Cache]\r\n"
                                         "TWIN-1=Twin.u\r\n"
                                         "TWIN-2=Twin.u\r\n"
                                         "MID-1=Mid.u\r\n"
                                         "TWIN-3=Twin.u\r\n"
                                         "TWIN-4=Twin.u\r\n"
                                         "LAST-1=Last.u\r\n");
    for (const char* guid : {"TWIN-1", "TWIN-2", "MID-1", "TWIN-3", "TWIN-4", "LAST-1"})
        game.WriteFile(u"Cache/%1.uxx"_s.arg(QLatin1String(guid)), guid);

    TQuestionAnswerer answerer; // with the program's own dialogs: no scripted ones
    std::unique_ptr<TfrmMain> window = FFixture->CreateMainWindow({u"/installcache"_s});
    window->show();
    QVERIFY(window->EndRequested());

    QCOMPARE(answerer.Titles.size(), 3);
    QVERIFY(!answerer.Blocked);
    // A progress window never comes over an open question; once it shows, questions come above
    // it and take their answer.
    QCOMPARE(answerer.ProgressOverFirst, 0);
    QVERIFY(answerer.ProgressUnderSecond);
    QCOMPARE(answerer.Titles.first(), u"Confirmation \u2014 UT2004 KOVA"_s);

    // No kept the first file, Yes replaced it, Cancel stopped the run there.
    QCOMPARE(game.ReadFile(u"System/Twin.u"_s), QByteArray("TWIN-3"));
    QCOMPARE(game.ReadFile(u"System/Mid.u"_s), QByteArray("MID-1"));
    QVERIFY(QFile::exists(game.Path(u"Cache/TWIN-2.uxx"_s)));
    QVERIFY(QFile::exists(game.Path(u"Cache/TWIN-4.uxx"_s)));
    QVERIFY(QFile::exists(game.Path(u"Cache/LAST-1.uxx"_s)));
    QVERIFY(!QFile::exists(game.Path(u"System/Last.u"_s)));
    QCOMPARE(window->ExitStatus(), int(esSwitchFailed)); // a cancelled run did not do its work
}

QTEST_MAIN(KOVAProgramTest)
#include "KOVAProgramTest.moc"
