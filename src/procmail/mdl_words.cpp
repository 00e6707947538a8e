#include "procmail/mdl_words.h"

namespace mdl {
namespace {

bool IsSeparator(QChar c) {
    return c == ' ' || c == '\t';
}

}  // namespace

QString TextWord(const QString& text, int n) {
    int word = 0;
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size) {
        while (i < size && IsSeparator(text[i])) {
            ++i;
        }
        if (i == size) {
            break;
        }
        const qsizetype start = i;
        while (i < size && !IsSeparator(text[i])) {
            ++i;
        }
        if (++word == n) {
            return text.mid(start, i - start);
        }
    }
    return {};
}

int TextWords(const QString& text) {
    int words = 0;
    bool inWord = false;
    for (const QChar c : text) {
        if (IsSeparator(c)) {
            inWord = false;
        } else if (!inWord) {
            inWord = true;
            ++words;
        }
    }
    return words;
}

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
