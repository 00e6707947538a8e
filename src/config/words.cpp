#include "config/words.h"

QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == ' ') {
        ++first;
    }
    while (last > first && text[last - 1] == ' ') {
        --last;
    }
    return text.mid(first, last - first);
}

QString DelimWord(const QString& text, int n, const QString& delim) {
    if (n < 1) {
        return {};
    }
    if (delim.size() != 1) {
        return n == 1 ? text : QString();
    }
    const QChar d = delim[0];
    int field = 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == d) {
            if (field == n) {
                return text.mid(start, i - start);
            }
            ++field;
            start = i + 1;
        }
    }
    return {};
}

int DelimWords(const QString& text, const QString& delim) {
    if (text.isEmpty()) {
        return 0;
    }
    if (delim.size() != 1) {
        return 1;
    }
    int count = 1;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == delim[0]) {
            ++count;
        }
    }
    return count;
}

QString CommaWord(const QString& text, int n) {
    return DelimWord(text, n, QStringLiteral(","));
}

int CommaWords(const QString& text) {
    return DelimWords(text, QStringLiteral(","));
}

QString RemoveDoubleQuotes(const QString& text) {
    QString s = TrimBlanks(text);
    if (s == "\"" || s == "\"\"") {
        return {};
    }
    if (s.size() == 2 && (s[0] == '"' || s[1] == '"')) {
        return s[0] == '"' ? QString(s[1]) : QString(s[0]);
    }
    if (s.endsWith('"')) {
        s.chop(1);
    }
    if (s.startsWith('"')) {
        s.remove(0, 1);
    }
    return s;
}

QString CSVmod(const QString& text) {
    if (!text.contains(',') && !text.contains('"')) {
        return text;
    }
    QString doubled = text;
    doubled.replace("\"", "\"\"");
    return '"' + doubled + '"';
}

bool IsWholeNumber(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i] >= '0' && text[i] <= '9') && !(i == 0 && text[i] == '-')) {
            return false;
        }
    }
    return true;
}

int WholeNumberOr(const QString& text, int fallback) {
    if (!IsWholeNumber(text)) {
        return fallback;
    }
    if (text == "-") {
        return 0;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : fallback;
}

QString GroupThousands(qint64 value) {
    const QString digits = QString::number(value < 0 ? -value : value);
    QString out;
    out.reserve(digits.size() + digits.size() / 3 + 1);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return value < 0 ? '-' + out : out;
}
