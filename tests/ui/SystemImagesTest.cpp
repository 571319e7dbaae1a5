#include <QTest>

#include "SystemImages.h"

// File lists share one icon list: one entry per file type, found again for every file of it.
class SystemImagesTest : public QObject
{
    Q_OBJECT

private slots:
    void oneIconPerFileType()
    {
        TSystemImages images;
        const int zip = images.GetFileIconIndex(QStringLiteral("/nowhere/A.zip"));
        QCOMPARE(images.GetFileIconIndex(QStringLiteral("b.ZIP")), zip);
        const int text = images.GetFileIconIndex(QStringLiteral("readme.txt"));
        QVERIFY(text != zip);
        const int unknown = images.GetFileIconIndex(QStringLiteral("Map.ut2"));
        QVERIFY(unknown >= 0 && unknown < images.Count());
        QVERIFY(!images.Icon(unknown).isNull());
        QVERIFY(images.Icon(images.Count()).isNull());
    }
};

QTEST_MAIN(SystemImagesTest)
#include "SystemImagesTest.moc"
