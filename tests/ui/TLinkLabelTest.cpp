#include "TLinkLabel.h"
#include "TScriptedDialogs.h"

#include <QDir>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using TKind = TScriptedDialogs::TKind;

// The link label: its look under the mouse, what a click runs in which case, and what the
// opener is handed.
class TLinkLabelTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hoverUnderlinesAndLeaveRestores();
    void clickNavigatesOnlyWhenItShould();
    void openerGetsOneWholeAddress();

private:
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TLinkLabel> FLabel;
    QStringList FOpened;
    bool FOpenerWorks = true;
    TOpenEnded FEnded;
    QStringList FEvents;
};

void TLinkLabelTest::init()
{
    FDialogs = std::make_unique<TScriptedDialogs>();
    FOpened.clear();
    FEvents.clear();
    FOpenerWorks = true;
    FEnded = nullptr;
    TLinkLabel::SetOpener([this](const QString& url, QString*, TOpenEnded onEnded) {
        FOpened << url;
        FEvents << u"open"_s;
        FEnded = std::move(onEnded);
        return FOpenerWorks;
    });
    FLabel = std::make_unique<TLinkLabel>();
    FLabel->setText(u"Check for Updates..."_s);
    FLabel->OnBeforeNavigate = [this](TLinkLabel*, bool&) { FEvents << u"before"_s; };
    FLabel->OnAfterNavigate = [this](TLinkLabel*) { FEvents << u"after"_s; };
    connect(FLabel.get(), &TLinkLabel::clicked, this, [this] { FEvents << u"click"_s; });
    FLabel->show();
    QVERIFY(QTest::qWaitForWindowExposed(FLabel.get()));
}

void TLinkLabelTest::cleanup()
{
    FLabel.reset();
    TLinkLabel::SetOpener(nullptr);
    FDialogs.reset();
}

void TLinkLabelTest::hoverUnderlinesAndLeaveRestores()
{
    // The pointer of the test platform may sit over the new window: start outside.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(FLabel.get(), &leave);
    const QColor navy(0, 0, 128);
    QCOMPARE(FLabel->palette().color(QPalette::WindowText), navy);
    QVERIFY(!FLabel->font().underline());
    const QPointF centre = QRectF(FLabel->rect()).center();
    QEnterEvent enter(centre, FLabel->mapToGlobal(centre), FLabel->mapToGlobal(centre));
    QApplication::sendEvent(FLabel.get(), &enter);
    QVERIFY(FLabel->font().underline());
    QCOMPARE(FLabel->palette().color(QPalette::WindowText), navy);
    QApplication::sendEvent(FLabel.get(), &leave);
    QVERIFY(!FLabel->font().underline());
}

void TLinkLabelTest::clickNavigatesOnlyWhenItShould()
{
    // No link: only the click handler.
    QTest::mouseClick(FLabel.get(), Qt::LeftButton);
    QCOMPARE(FEvents, QStringList({"click"}));

    // Navigation switched off: the same.
    FEvents.clear();
    FLabel->SetHyperLink(u"https://example.invalid/page"_s);
    FLabel->SetDisableNavigation(true);
    QTest::mouseClick(FLabel.get(), Qt::LeftButton);
    QCOMPARE(FEvents, QStringList({"click"}));

    // A press and a release on the label navigate; a release elsewhere does not click.
    FEvents.clear();
    FLabel->SetDisableNavigation(false);
    QTest::mouseClick(FLabel.get(), Qt::LeftButton);
    QCOMPARE(FEvents, QStringList({"click", "before", "open", "after"}));
    QCOMPARE(FOpened, {u"https://example.invalid/page"_s});
    FEvents.clear();
    QTest::mousePress(FLabel.get(), Qt::LeftButton);
    QTest::mouseRelease(FLabel.get(), Qt::LeftButton, {}, QPoint(-5, -5));
    QVERIFY(FEvents.isEmpty());

    // Cancel stops the opener and the after-navigate handler.
    FLabel->OnBeforeNavigate = [this](TLinkLabel*, bool& cancel) {
        FEvents << u"before"_s;
        cancel = true;
    };
    FLabel->Navigate();
    QCOMPARE(FEvents, QStringList({"click", "before"}));

    // An opener that fails shows the error box, and no after-navigate.
    FEvents.clear();
    FLabel->OnBeforeNavigate = nullptr;
    FOpenerWorks = false;
    FLabel->Navigate();
    QCOMPARE(FEvents, QStringList({"click", "open"}));
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QVERIFY(FDialogs->CallsOf(TKind::dkException).first().Text.contains(FLabel->HyperLink()));
}

void TLinkLabelTest::openerGetsOneWholeAddress()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(u"Program Files/KOVA 2"_s));
    const QString readme = root.path() + u"/Program Files/KOVA 2/Readme.htm"_s;

    QVERIFY(TLinkLabel::OpenURL(readme));
    QVERIFY(TLinkLabel::OpenURL(u"https://example.invalid/load.php?get=a&pid=10"_s));
    QVERIFY(!TLinkLabel::OpenURL(QString()));
    QCOMPARE(FOpened.size(), 2);
    QCOMPARE(FOpened.at(0), QUrl::fromLocalFile(readme).toString(QUrl::FullyEncoded));
    QVERIFY(!FOpened.at(0).contains(QLatin1Char(' ')));
    QCOMPARE(FOpened.at(1), u"https://example.invalid/load.php?get=a&pid=10"_s);

    // A handler that fails after its start shows the error box later, naming the file as given;
    // one that succeeds shows nothing, and neither does a failure once the owner is gone.
    QVERIFY(TLinkLabel::OpenOrReport(FLabel.get(), readme));
    QVERIFY(FDialogs->Calls().isEmpty());
    QVERIFY(FEnded);
    FEnded(0);
    QVERIFY(FDialogs->Calls().isEmpty());
    FEnded(3);
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).first().Text, OpenFailureText(readme, 3));
    QVERIFY(TLinkLabel::OpenOrReport(FLabel.get(), readme));
    FLabel.reset();
    FEnded(4);
    QCOMPARE(FDialogs->Calls().size(), 1);
}

QTEST_MAIN(TLinkLabelTest)
#include "TLinkLabelTest.moc"
