#include "logs/log_names.h"

#include "listing/text_words.h"

QString LogfilePrefix(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.left(dot);
}

QString LogfileSuffix(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.mid(dot + 1);
}

bool IsDatedLogName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && name.size() - dot - 1 == 8 && AllAsciiDigits(QStringView(name).mid(dot + 1));
}

QString LogMonth(const QString& fileName) {
    const QString name = fileName.toLower();
    const qsizetype gz = name.indexOf(u".gz");
    // The last "." that is not the one starting ".gz". (A "from" of -1 would mean the end
    // again, so the search from before position 0 is not made.)
    qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0 && dot == gz) {
        dot = gz > 0 ? name.lastIndexOf(u'.', gz - 1) : -1;
    }
    if (dot < 0) {
        return QStringLiteral("0");
    }
    const qsizetype end = gz > dot ? gz : name.size();
    QString date = name.mid(dot + 1, end - dot - 1);
    if (date.size() == 6) {
        date = (date.startsWith(u'9') ? QStringLiteral("19") : QStringLiteral("20")) + date;
    } else if (date.size() != 8) {
        return QStringLiteral("0");
    }
    const QString month = date.left(6);
    return AllAsciiDigits(month) ? month : QStringLiteral("0");
}

QString LogBaseName(const QString& name) {
    const qsizetype gz = name.indexOf(u".gz", 0, Qt::CaseInsensitive);
    return gz < 0 ? name : name.left(gz);
}
