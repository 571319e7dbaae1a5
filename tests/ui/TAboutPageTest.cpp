#include "KOVABuildInfo.h"
#include "KOVAVersion.h"
#include "TAboutPage.h"
#include "TLinkLabel.h"
#include "TLoopbackHttpServer.h"
#include "TPageTest.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

// The About page and the update check over a loopback server: what is asked, what each answer
// shows, and that a check without an answer says it failed.
class TAboutPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void pageShowsNameVersionBuildAndLinks();
    void checkSendsOneRequestAndReadsTheAnswer_data();
    void checkSendsOneRequestAndReadsTheAnswer();
    void checkWithoutAnAnswerSaysItFailed_data();
    void checkWithoutAnAnswerSaysItFailed();
    void menuChecksFromAnotherPageAndHelpOpensTheReadme();

private:
    void Prepare() override;
    void Finish() override;
    TAboutPage* ShowPage(const TUpdateServer& server);
    void ClickUpdates() const
    {
        QTest::mouseClick(Find<TLinkLabel>(u"lbAbout_Updates"_s), Qt::LeftButton);
    }
    QString Text(TDialogType key) const { return FContext->GetLangText(key); }

    std::unique_ptr<TLoopbackHttpServer> FServer;
    QStringList FOpened;
    TOpenEnded FEnded;
};

namespace {

enum TExpected
{
    exAvailable,
    exNone
};

} // namespace

void TAboutPageTest::Prepare()
{
    FServer = std::make_unique<TLoopbackHttpServer>();
    FOpened.clear();
    FEnded = nullptr;
    TLinkLabel::SetOpener([this](const QString& url, QString*, TOpenEnded onEnded) {
        FOpened << url;
        FEnded = std::move(onEnded);
        return true;
    });
}

void TAboutPageTest::Finish()
{
    TLinkLabel::SetOpener(nullptr);
    FServer.reset();
}

TAboutPage* TAboutPageTest::ShowPage(const TUpdateServer& server)
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    FContext->SetUpdateServer(server);
    return FContext->Create<TAboutPage>(u"tbAbout"_s);
}

void TAboutPageTest::pageShowsNameVersionBuildAndLinks()
{
    ShowPage({FServer->Host()});
    QCOMPARE(Find<QLabel>(u"lbAbout_Info"_s)->text(),
             u"UT2004 KOVA, Version "_s + GetFileVersionText());
    QCOMPARE(Find<QLabel>(u"lbAbout_Build"_s)->text(), BuildTimeText(KOVABuildTimeUtc()));
    // The logo opens the project page of the settings' project id, and asks the server nothing.
    QTest::mouseClick(Find<QLabel>(u"imgAbout_Logo"_s), Qt::LeftButton);
    QCOMPARE(FOpened, {FServer->Host() + u"/load.php?get=project.php&pid=10"_s});
    QVERIFY(FServer->Requests().isEmpty());
}

void TAboutPageTest::checkSendsOneRequestAndReadsTheAnswer_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("expected");
    for (const char* yes : {"1", "True", "TRUE", " 2 \r\n"})
        QTest::newRow(yes) << QByteArray(yes) << int(exAvailable);
    for (const char* no : {"0", "False", "", "yes"})
        QTest::newRow(no) << QByteArray(no) << int(exNone);
    QTest::newRow("error wins over a number") << QByteArray("x error 1") << int(exNone);
}

void TAboutPageTest::checkSendsOneRequestAndReadsTheAnswer()
{
    QFETCH(QByteArray, body);
    QFETCH(int, expected);
    ShowPage({FServer->Host()});
    FServer->SetReply({200, body});
    const QString download = FServer->Host() + u"/load.php?get=download.php&pid=10"_s;

    if (expected == exAvailable)
        FDialogs->AnswerMessage(TModalResult::mrYes);
    ClickUpdates();
    const QList<QByteArray> requests = FServer->Requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(RequestTarget(requests.first()),
             "/checkupdate.php?pid=10&update=" + QByteArray::number(GetVersionNumber()));
    QCOMPARE(RequestHeader(requests.first(), "Accept"), QByteArray("text/html, */*"));
    QCOMPARE(RequestHeader(requests.first(), "User-Agent"),
             "KOVA/" + GetFileVersionText().toLatin1());

    QCOMPARE(FDialogs->Calls().size(), 1);
    const TCall shown = FDialogs->Calls().first();
    if (expected == exAvailable) {
        QCOMPARE(shown.Text, Text(TDialogType::Update_Avail));
        QCOMPARE(shown.Buttons, mbYes | mbNo);
        QCOMPARE(FOpened, {download});
        // No: nothing opens.
        FDialogs->Clear();
        FDialogs->AnswerMessage(TModalResult::mrNo);
        ClickUpdates();
        QCOMPARE(FDialogs->Calls().size(), 1);
        QCOMPARE(FOpened, {download});
    } else {
        QCOMPARE(shown.Text, Text(TDialogType::Update_NoUpdate));
        QCOMPARE(shown.Caption, Text(TDialogType::Common_Warning));
        QVERIFY(FOpened.isEmpty());
    }
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TAboutPageTest::checkWithoutAnAnswerSaysItFailed_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("hang");
    QTest::addColumn<bool>("refused");
    QTest::newRow("connection refused") << 200 << false << true;
    QTest::newRow("404") << 404 << false << false;
    QTest::newRow("500 with a true body") << 500 << false << false;
    QTest::newRow("never answers") << 200 << true << false;
}

void TAboutPageTest::checkWithoutAnAnswerSaysItFailed()
{
    QFETCH(int, status);
    QFETCH(bool, hang);
    QFETCH(bool, refused);
    const int timeoutMs = 1500;
    ShowPage({refused ? TLoopbackHttpServer::RefusingHost() : FServer->Host(), 1000, timeoutMs});
    FServer->SetReply({status, "1", hang});

    QElapsedTimer clock;
    clock.start();
    ClickUpdates();
    QVERIFY2(clock.elapsed() < timeoutMs + 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(FDialogs->Calls().size(), 1);
    const TCall shown = FDialogs->Calls().first();
    QVERIFY2(shown.Text.startsWith(Text(TDialogType::Update_Error)), qPrintable(shown.Text));
    QCOMPARE(shown.Caption, Text(TDialogType::Common_Error));
    QCOMPARE(shown.Type, TMsgDlgType::mtError);
    QVERIFY(FOpened.isEmpty());
    QCOMPARE(FServer->Requests().size(), refused ? 0 : 1);
}

void TAboutPageTest::menuChecksFromAnotherPageAndHelpOpensTheReadme()
{
    FWindow = FFixture->CreateMainWindow();
    TfrmMain* window = FWindow.get();
    window->SetUpdateServer({FServer->Host()});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto* pages = Child<QTabWidget>(window, u"pgMain"_s);
    QCOMPARE(pages->currentWidget()->objectName(), u"tbConfiguration"_s);
    FServer->SetReply({200, "0"});

    Child<QAction>(window, u"MenuCheckForUpdates"_s)->trigger();
    QCOMPARE(pages->currentWidget()->objectName(), u"tbConfiguration"_s);
    QCOMPARE(FServer->Requests().size(), 1);
    QCOMPARE(RequestTarget(FServer->Requests().first()),
             "/checkupdate.php?pid=10&update=" + QByteArray::number(GetVersionNumber()));
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text, window->GetLangText(TDialogType::Update_NoUpdate));

    // Yes opens the download page of the server the window was given.
    FServer->SetReply({200, "1"});
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Child<QAction>(window, u"MenuCheckForUpdates"_s)->trigger();
    QCOMPARE(FOpened, {FServer->Host() + u"/load.php?get=download.php&pid=10"_s});

    FOpened.clear();
    Child<QAction>(window, u"MenuHelpFile"_s)->trigger();
    Child<QAction>(window, u"MenuChangeLog"_s)->trigger();
    QCOMPARE(
        FOpened,
        QStringList(
            {QUrl::fromLocalFile(FFixture->AppFile("Readme.htm")).toString(QUrl::FullyEncoded),
             QUrl::fromLocalFile(FFixture->AppFile("Changes.txt")).toString(QUrl::FullyEncoded)}));
    // Its program failing after the start is told then, in the window's error box.
    QCOMPARE(FDialogs->Calls().size(), 2);
    QVERIFY(FEnded);
    FEnded(4);
    QCOMPARE(FDialogs->Calls().size(), 3);
    QCOMPARE(FDialogs->Calls().last().Type, TMsgDlgType::mtError);
    QCOMPARE(FDialogs->Calls().last().Text, OpenFailureText(FFixture->AppFile("Changes.txt"), 4));
}

QTEST_MAIN(TAboutPageTest)
#include "TAboutPageTest.moc"
