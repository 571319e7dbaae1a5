#pragma once

#include <vector>

#include <QStringView>

// One line of a text: where its characters start and end, and where the next line starts.
struct TTextLine
{
    qsizetype Start; // first character
    qsizetype End;   // end of the text, before the line ending
    qsizetype Next;  // start of the next line
};

// The lines of a text file's decoded text: LF ends a line, and a CR ends one only before an LF
// (a lone CR is text), except in a text without any LF, whose lines end with CR alone. The last
// line may have no ending.
std::vector<TTextLine> SplitLines(QStringView text);
