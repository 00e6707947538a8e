#pragma once

#include <QString>

// Field splitting and CSV helpers shared by the whole program.

// The N-th field (from 1) of Text split at every Delim; fields may be empty. Empty when N is out
// of range. A Delim of more than one character never matches, so Text is field 1.
QString DelimWord(const QString& text, int n, const QString& delim);
// 0 for an empty text, else 1 + the number of delimiters, not counting one in the last position.
int DelimWords(const QString& text, const QString& delim);
QString CommaWord(const QString& text, int n);
int CommaWords(const QString& text);

// Removes leading and trailing blanks (only blanks: TABs and other white space stay).
QString TrimBlanks(const QString& text);

// Trims blanks, then strips one double quote from the end and one from the start.
QString RemoveDoubleQuotes(const QString& text);

// Text as a CSV field: quoted with inner quotes doubled when it holds a comma or a quote.
QString CSVmod(const QString& text);

// True when Text is not empty and every character is a digit 0-9, except that the first
// character may be "-".
bool IsWholeNumber(const QString& text);
// The value of a whole number, or Fallback when Text is not one or does not fit an int.
int WholeNumberOr(const QString& text, int fallback);

// Decimal digits with "," between groups of three ("1234567" -> "1,234,567").
QString GroupThousands(qint64 value);
