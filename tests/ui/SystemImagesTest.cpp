#include <QTest>

#include "SystemImages.h"

using namespace Qt::StringLiterals;

// File lists share one icon list: one entry per file type, found again for every file of it.
class SystemImagesTest : public QObject
{
    Q_OBJECT

private slots:
    void oneIconPerFileType()
    {
        TSystemImages images;
        const int zip = images.GetFileIconIndex(u"/nowhere/A.zip"_s);
        QCOMPARE(images.GetFileIconIndex(u"b.ZIP"_s), zip);
        const int text = images.GetFileIconIndex(u"readme.txt"_s);
        QVERIFY(text != zip);
        const int unknown = images.GetFileIconIndex(u"Map.ut2"_s);
        QVERIFY(unknown >= 0 && unknown < images.Count());
        QVERIFY(!images.Icon(unknown).isNull());
        QVERIFY(images.Icon(images.Count()).isNull());
    }
};

QTEST_MAIN(SystemImagesTest)
#include "SystemImagesTest.moc"
