#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QTest>

#include <tuple>

using namespace Qt::StringLiterals;

// Language files and tests find controls by their object names, so every name in a form must
// carry the prefix of its kind of control.
class FormNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void everyObjectNameMatchesItsClass();
};

namespace {

// Prefix -> classes a control of that prefix may be. Longer prefixes come first.
const QList<QPair<QString, QStringList>> KPrefixes = {
    {"btn", {"QPushButton", "QToolButton"}},
    {"bvl", {"QFrame"}}, // bevels: lines between groups of controls
    {"lbe", {"QLineEdit", "TLabeledEdit"}},
    {"lbl", {"QLabel"}},
    {"lb", {"QLabel", "QListWidget", "QTreeWidget", "TListView", "TLinkLabel"}},
    {"ll", {"TLinkLabel", "QLabel"}},
    {"lw", {"QTreeWidget", "QListWidget", "TListView"}},
    {"clb", {"QListWidget"}},
    {"ed", {"QLineEdit", "QSpinBox", "QDoubleSpinBox"}},
    {"cb", {"QComboBox", "QCheckBox"}},
    {"gb", {"QGroupBox"}},
    {"rg", {"QGroupBox"}},
    {"rb", {"QRadioButton"}},
    {"pn", {"QWidget", "QFrame", "QStackedWidget"}},
    {"pg", {"QTabWidget", "TPageControl", "QProgressBar"}},
    {"pb", {"QProgressBar"}},
    {"pm", {"QMenu"}},
    {"tbr", {"QToolBar", "QWidget", "QFrame"}},
    {"tb", {"QWidget", "QToolBar", "QSlider"}}, // tab sheets, tool bars, track bars
    {"tw", {"QTreeWidget"}},
    {"ud", {"QSpinBox"}}, // up-downs
    {"img", {"QLabel"}},
    {"sb", {"QStatusBar", "QScrollBar", "QSlider"}},
    {"tr", {"QSlider"}},
    {"mm", {"QMenuBar", "QPlainTextEdit", "QTextEdit", "QTextBrowser"}}, // main menu, memos
    {"Menu", {"QMenu", "QAction"}},
    {"Meun", {"QAction"}},
    {"lay", {}},
};

// Controls named by the tool's documents without a prefix: whole words ending in their kind
// ("AddPackageButton", "IniEditorPopUp", "ArchiveToolbar", "Coolbar", "ResImage", "MainMenu",
// "SysInteg_ZipIco").
const QList<QPair<QString, QStringList>> KKindEndings = {
    {"Button", {"QPushButton", "QToolButton"}},
    {"Popup", {"QMenu"}},
    {"PopUp", {"QMenu"}},
    {"bar", {"QToolBar", "QWidget", "QFrame"}},
    {"Bar", {"QToolBar", "QWidget", "QFrame"}},
    {"Image", {"QLabel"}},
    {"Ico", {"QLabel"}},
    {"Menu", {"QMenuBar", "QMenu"}},
};

bool StartsWithLower(const QString& name)
{
    return !name.isEmpty() && name.at(0).isLower();
}

// Whether a control of class Cls may carry that object name.
bool NameFits(const QString& objectName, const QString& cls)
{
    for (const auto& [prefix, classes] : KPrefixes) {
        if (objectName.startsWith(prefix))
            return classes.contains(cls);
    }
    // Popup and tool-bar items and separators ("INI_AddSection", "ViewDemo", "N1") carry no
    // control prefix.
    if (StartsWithLower(objectName))
        return false;
    if (cls == QLatin1String("QAction"))
        return true;
    for (const auto& [ending, classes] : KKindEndings) {
        if (objectName.endsWith(ending) && classes.contains(cls))
            return true;
    }
    return false;
}

} // namespace

void FormNamesTest::everyObjectNameMatchesItsClass()
{
    const QDir forms(QStringLiteral(KOVA_SOURCE_DIR "/ui/forms"));
    const QStringList files = forms.entryList({u"*.ui"_s}, QDir::Files);
    QVERIFY(!files.isEmpty());
    QStringList problems;
    for (const QString& name : files) {
        QFile file(forms.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QDomDocument document;
        QVERIFY2(document.setContent(&file), qPrintable(name));
        const QDomElement root = document.documentElement();
        const QDomElement top = root.firstChildElement(u"widget"_s);
        for (const QString& tag : {u"widget"_s, u"action"_s}) {
            const QDomNodeList nodes = root.elementsByTagName(tag);
            for (int i = 0; i < nodes.size(); ++i) {
                const QDomElement element = nodes.at(i).toElement();
                if (element == top)
                    continue;
                const QString objectName = element.attribute(u"name"_s);
                const QString cls =
                    tag == QLatin1String("action") ? u"QAction"_s : element.attribute(u"class"_s);
                if (!NameFits(objectName, cls))
                    problems << u"%1: %2 is a %3"_s.arg(name, objectName, cls);
            }
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(FormNamesTest)
#include "FormNamesTest.moc"
