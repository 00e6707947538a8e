#include "procmail/mdl_words.h"

namespace mdl {

bool IsInteger(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

QString RemoveTab(const QString& text) {
    QString result = text;
    result.replace('\t', ' ');
    return result;
}

QString DoubleAmpersand(const QString& text) {
    QString result = text;
    result.replace("&", "&&");
    return result;
}

QString AppendBackslash(const QString& text) {
    return text.endsWith('\\') ? text : text + '\\';
}

}  // namespace mdl
