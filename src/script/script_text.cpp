#include "script/script_text.h"

QString ReplaceInRec(const QString& text, const QString& value, const QString& symbol) {
    if (symbol.isEmpty()) {
        return text;
    }
    QString result = text;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = result.indexOf(symbol, from, Qt::CaseInsensitive);
        if (at < 0) {
            return result;
        }
        result.replace(at, symbol.size(), value);
        from = at + value.size();
    }
}

QString ApplyTimeSymbols(const QString& line, const QDateTime& start) {
    static const char* const kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};
    const QDate date = start.date();
    const QTime time = start.time();
    auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QChar('0')); };
    const std::pair<const char*, QString> symbols[] = {
        {"?YYYY", QStringLiteral("%1").arg(date.year(), 4, 10, QChar('0'))},
        {"?MM", two(date.month())},
        {"?DD", two(date.day())},
        {"?HH", two(time.hour())},
        {"?MI", two(time.minute())},
        {"?SS", two(time.second())},
        {"?TTT", QStringLiteral("%1").arg(time.msec(), 3, 10, QChar('0'))},
        {"?DAY-OF-WEEK", QString::fromLatin1(kDays[date.dayOfWeek() - 1])},
    };
    QString result = line;
    for (const auto& [symbol, value] : symbols) {
        result = ReplaceInRec(result, value, QString::fromLatin1(symbol));
    }
    return result;
}
