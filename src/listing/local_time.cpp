#include "listing/local_time.h"

#include <QStringList>

QString TimeLocal(const QString& localTime) {
    QString t = localTime;
    t.replace(':', ' ').replace('-', ' ').replace('.', ' ').replace('\t', ' ');
    const QStringList words = t.split(' ', Qt::SkipEmptyParts);
    auto part = [&](int i) {
        QString w = words.value(i, "00");
        return w.size() == 1 ? "0" + w : w;
    };
    QString hour = part(0);
    if (words.size() > 3) {
        const QString ampm = words[3].toUpper();
        const int h = hour.toInt();
        if (ampm == "PM" && h >= 1 && h <= 11) {
            hour = QString::number(h + 12);
        } else if (ampm == "AM" && hour == "12") {
            hour = "00";
        }
    }
    return hour + ":" + part(1) + ":" + part(2);
}
