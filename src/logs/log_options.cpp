#include "logs/log_options.h"

namespace {

QStringList Extensions(const QString& text) {
    return text.split('/', Qt::SkipEmptyParts);
}

}  // namespace

QStringList LogOptions::SortedExtensions() const {
    QStringList list = Extensions(summaryText);
    list.sort();
    return list;
}

QStringList LogOptions::SortedFilters() const {
    QStringList list = urlFilters;
    list.sort();
    return list;
}

QString LogOptions::AddExtension(const QString& typed) {
    QString extension = typed.toLower().trimmed();
    if (extension.isEmpty() || extension == ".") {
        return QString();
    }
    if (extension.contains('/')) {
        return "Forward slash (\"/\") is not valid in a file extension";
    }
    if (extension.startsWith('.')) {
        extension.remove(0, 1);
    }
    if (Extensions(summaryText).contains(extension)) {
        return "Specified file extension is already listed";
    }
    if (!summaryText.isEmpty() && !summaryText.endsWith('/')) {
        summaryText += '/';
    }
    summaryText += extension;
    return QString();
}

QString LogOptions::DeleteExtension(const QString& selected) {
    if (selected.isEmpty()) {
        return "No file extension was selected for removal";
    }
    QStringList list = Extensions(summaryText);
    list.removeAll(selected);
    summaryText = list.join('/');
    return QString();
}

QString LogOptions::AddFilter(const QString& typed) {
    const QString filter = typed.trimmed();
    if (filter.isEmpty()) {
        return QString();
    }
    if (urlFilters.contains(filter)) {
        return "Specified filter text is already listed";
    }
    urlFilters << filter;
    return QString();
}

QString LogOptions::DeleteFilter(const QString& selected) {
    if (selected.isEmpty()) {
        return "No filter text was selected for removal";
    }
    urlFilters.removeAll(selected);
    return QString();
}

QString DomainKeyForPrefix(const QString& prefix, const QString& userid) {
    return prefix.compare("www", Qt::CaseInsensitive) == 0 ? "LogfilePrefix=www-" + userid
                                                           : "LogfilePrefix=" + prefix;
}
