#pragma once

#include <QString>
#include <QStringView>

// Word helpers shared by the listing parsers and the rest of the program. Words are separated by
// runs of blanks or tab characters; numbering starts at 1.

// The N-th word of Text, or an empty view when Text has fewer than N words. The view points into
// Text.
QStringView TextWordView(QStringView text, int n);
QString TextWord(const QString& text, int n);
int TextWords(QStringView text);
// The first Max words of Text into Words (views into Text); returns how many words Text has in
// all, so one pass gives both the words and their count.
int SplitWords(QStringView text, QStringView* words, int max);

// SizeText with every ",", "." and blank removed (a size read back from displayed text).
QString SizeDeformat(const QString& sizeText);

// True when Text is one or more ASCII digits (digits of other scripts are not).
bool AllAsciiDigits(QStringView text);

// Text without characters below code 33 (blanks and control characters) at either end.
QStringView TrimControls(QStringView text);
