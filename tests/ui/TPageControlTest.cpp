#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>

#include "TPageControl.h"

using namespace Qt::StringLiterals;

// The page gate: the user's tab changes can be refused, the program's cannot.
class TPageControlTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FControl = new TPageControl;
        for (int i = 0; i < 3; ++i) {
            auto* page = new QWidget;
            if (i == 0)
                new QLineEdit(page);
            FControl->addTab(page, u"Page %1"_s.arg(i));
        }
        FAsked = 0;
        FAllow = false;
        FControl->SetChanging([this](int) {
            ++FAsked;
            return FAllow;
        });
        FControl->resize(400, 300);
        FControl->show();
        QVERIFY(QTest::qWaitForWindowExposed(FControl));
    }

    void cleanup() { delete FControl; }

    void refusesClickKeyboardAndWheel()
    {
        QTabBar* bar = FControl->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, FControl->TabRect(2).center());
        QCOMPARE(FControl->currentIndex(), 0);

        FControl->widget(0)->findChild<QLineEdit*>()->setFocus();
        QTest::keyClick(FControl->widget(0)->findChild<QLineEdit*>(), Qt::Key_Tab,
                        Qt::ControlModifier);
        QCOMPARE(FControl->currentIndex(), 0);

        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Right);
        QCOMPARE(FControl->currentIndex(), 0);

        QWheelEvent wheel(FControl->TabRect(0).center(),
                          bar->mapToGlobal(FControl->TabRect(0).center()), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &wheel);
        QCOMPARE(FControl->currentIndex(), 0);
        QVERIFY(FAsked >= 3);
    }

    void clickOnTheCurrentTabIsNoChange()
    {
        QTabBar* bar = FControl->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, FControl->TabRect(0).center());
        QCOMPARE(FAsked, 0);
    }

    void programmaticChangesPass()
    {
        FControl->setCurrentIndex(2);
        QCOMPARE(FControl->currentIndex(), 2);
        QCOMPARE(FAsked, 0);
    }

    void allowedChangesHappen()
    {
        FAllow = true;
        QTabBar* bar = FControl->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, FControl->TabRect(1).center());
        QCOMPARE(FControl->currentIndex(), 1);
        QTest::keyClick(FControl, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(FControl->currentIndex(), 2);
    }

private:
    TPageControl* FControl = nullptr;
    int FAsked = 0;
    bool FAllow = false;
};

QTEST_MAIN(TPageControlTest)
#include "TPageControlTest.moc"
