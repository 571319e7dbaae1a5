#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QTest>

// Language files and tests find controls by their object names, so every name in a form must
// carry the prefix of its kind of control.
class FormNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void everyObjectNameMatchesItsClass();
};

namespace {

// Prefix -> classes a control of that prefix may be.
const QList<QPair<QString, QStringList>> KPrefixes = {
    {"btn", {"QPushButton", "QToolButton"}},
    {"lbe", {"QLineEdit", "TLabeledEdit"}},
    {"lbl", {"QLabel"}},
    {"lb", {"QLabel", "QListWidget", "QTreeWidget", "TLinkLabel"}},
    {"lw", {"QTreeWidget", "QListWidget"}},
    {"clb", {"QListWidget"}},
    {"ed", {"QLineEdit", "QSpinBox", "QDoubleSpinBox"}},
    {"cb", {"QComboBox", "QCheckBox"}},
    {"gb", {"QGroupBox"}},
    {"pn", {"QWidget", "QFrame"}},
    {"pg", {"QTabWidget", "TPageControl", "QProgressBar"}},
    {"tb", {"QWidget", "QToolBar"}},
    {"tw", {"QTreeWidget"}},
    {"img", {"QLabel"}},
    {"sb", {"QStatusBar", "QScrollBar", "QSlider"}},
    {"tr", {"QSlider"}},
    {"mm", {"QMenuBar"}},
    {"Menu", {"QMenu", "QAction"}},
    {"Meun", {"QAction"}},
    {"lay", {}},
};

} // namespace

void FormNamesTest::everyObjectNameMatchesItsClass()
{
    const QDir forms(QStringLiteral(KOVA_SOURCE_DIR "/ui/forms"));
    const QStringList files = forms.entryList({QStringLiteral("*.ui")}, QDir::Files);
    QVERIFY(!files.isEmpty());
    QStringList problems;
    for (const QString& name : files) {
        QFile file(forms.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QDomDocument document;
        QVERIFY2(document.setContent(&file), qPrintable(name));
        const QDomElement root = document.documentElement();
        const QDomElement top = root.firstChildElement(QStringLiteral("widget"));
        for (const QString& tag : {QStringLiteral("widget"), QStringLiteral("action")}) {
            const QDomNodeList nodes = root.elementsByTagName(tag);
            for (int i = 0; i < nodes.size(); ++i) {
                const QDomElement element = nodes.at(i).toElement();
                if (element == top)
                    continue;
                const QString objectName = element.attribute(QStringLiteral("name"));
                const QString cls = tag == QLatin1String("action")
                                        ? QStringLiteral("QAction")
                                        : element.attribute(QStringLiteral("class"));
                bool matched = false;
                bool allowed = true;
                for (const auto& [prefix, classes] : KPrefixes) {
                    if (objectName.startsWith(prefix)) {
                        matched = true;
                        allowed = classes.contains(cls);
                        break;
                    }
                }
                // Names taken from the tool's documents that carry no prefix are whole words
                // ending in their kind ("AddPackageButton", "ServerPackagesButton").
                if (!matched)
                    allowed = objectName.endsWith(QLatin1String("Button")) ||
                              objectName.endsWith(QLatin1String("Popup")) ||
                              objectName.endsWith(QLatin1String("PopUp"));
                if (!allowed)
                    problems << QStringLiteral("%1: %2 is a %3").arg(name, objectName, cls);
            }
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(FormNamesTest)
#include "FormNamesTest.moc"
