// Prints the MIME type the shared MIME database gives each file named on the command line, one
// a line: the view of a file manager, taken in a process of its own so that no cache of the
// asking process answers.
#include <QCoreApplication>
#include <QMimeDatabase>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList files = QCoreApplication::arguments().mid(1);
    for (const QString& file : files)
        std::printf("%s\n", qPrintable(QMimeDatabase().mimeTypeForFile(file).name()));
    return 0;
}
