#include "listing/text_words.h"

namespace {

inline bool IsWordGap(QChar c) {
    return c == u' ' || c == u'\t';
}

}  // namespace

QStringView TextWordView(QStringView text, int n) {
    const qsizetype size = text.size();
    qsizetype i = 0;
    int word = 0;
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
        if (++word == n) {
            return text.sliced(start, i - start);
        }
    }
    return {};
}

QString TextWord(const QString& text, int n) {
    return TextWordView(text, n).toString();
}

int TextWords(QStringView text) {
    return SplitWords(text, nullptr, 0);
}

int SplitWords(QStringView text, QStringView* words, int max) {
    const qsizetype size = text.size();
    qsizetype i = 0;
    int count = 0;
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
        if (count < max) {
            words[count] = text.sliced(start, i - start);
        }
        ++count;
    }
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
