#pragma once

#include <QDateTime>
#include <QString>

// Text rules of the script language that need no session: symbol replacement and the time
// symbols a run fixes at its start.

// Every occurrence of Symbol in Text (found without regard to case) replaced by Value. The
// search goes on after each inserted value, so a value that contains the symbol is not
// replaced again (and cannot loop).
QString ReplaceInRec(const QString& text, const QString& value, const QString& symbol);

// The time symbols of a run, fixed at Start: "?YYYY", "?MM", "?DD", "?HH", "?MI", "?SS",
// "?TTT" and "?DAY-OF-WEEK" (the English day name), replaced in that order in Line.
QString ApplyTimeSymbols(const QString& line, const QDateTime& start);
