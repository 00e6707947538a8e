#pragma once

#include <QString>

// Word helpers of the mail definition language: words are runs of characters other than blank
// and TAB; positions count from 1 and a missing word is the empty string.
namespace mdl {

QString TextWord(const QString& text, int n);
int TextWords(const QString& text);
// True only for a non-empty text of the digits 0 to 9.
bool IsInteger(const QString& text);
QString RemoveTab(const QString& text);
// Every "&" doubled, the form dialog texts carry for statements shown in them.
QString DoubleAmpersand(const QString& text);
QString AppendBackslash(const QString& text);

}  // namespace mdl
