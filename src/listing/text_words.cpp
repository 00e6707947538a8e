#include "listing/text_words.h"

namespace {

inline bool IsWordGap(QChar c) {
    return c == u' ' || c == u'\t';
}

// Calls Visit(word, number) for each word, numbered from 1, until it returns true; returns that
// word, or an empty view when every word was visited.
template <typename Visit>
QStringView ForEachWord(QStringView text, Visit visit) {
    const qsizetype size = text.size();
    qsizetype i = 0;
    int number = 0;
    while (i < size) {
        while (i < size && IsWordGap(text[i])) {
            ++i;
        }
        if (i == size) {
            break;
        }
        const qsizetype start = i;
        while (i < size && !IsWordGap(text[i])) {
            ++i;
        }
        const QStringView word = text.sliced(start, i - start);
        if (visit(word, ++number)) {
            return word;
        }
    }
    return {};
}

}  // namespace

QStringView TextWordView(QStringView text, int n) {
    return ForEachWord(text, [n](QStringView, int index) { return index == n; });
}

QString TextWord(const QString& text, int n) {
    return TextWordView(text, n).toString();
}

int TextWords(QStringView text) {
    return SplitWords(text, nullptr, 0);
}

int SplitWords(QStringView text, QStringView* words, int max) {
    int count = 0;
    ForEachWord(text, [&](QStringView word, int index) {
        if (index <= max) {
            words[index - 1] = word;
        }
        count = index;
        return false;
    });
    return count;
}

QString SizeDeformat(const QString& sizeText) {
    QString result;
    result.reserve(sizeText.size());
    for (const QChar c : sizeText) {
        if (c != u',' && c != u'.' && c != u' ') {
            result.append(c);
        }
    }
    return result;
}

bool AllAsciiDigits(QStringView text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

QStringView TrimControls(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() < 33) {
        ++first;
    }
    while (last > first && text[last - 1].unicode() < 33) {
        --last;
    }
    return text.sliced(first, last - first);
}
