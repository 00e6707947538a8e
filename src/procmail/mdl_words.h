#pragma once

#include <QString>

// Text helpers of the mail definition language (words themselves: listing/text_words.h).
namespace mdl {

// True only for a non-empty text of the digits 0 to 9.
bool IsInteger(const QString& text);
QString RemoveTab(const QString& text);
// Every "&" doubled, the form dialog texts carry for statements shown in them.
QString DoubleAmpersand(const QString& text);
QString AppendBackslash(const QString& text);

}  // namespace mdl
