#include "ui/model/options_model.h"

#include <algorithm>

namespace {

QStringList SplitList(const QString& text, QChar separator) {
    QStringList list = text.split(separator, Qt::SkipEmptyParts);
    for (QString& item : list) {
        item = item.trimmed();
    }
    list.removeAll(QString());
    return list;
}

}  // namespace

OptionsValues OptionsValues::FromSettings(const Settings& settings) {
    const CommonSettings& c = settings.common;
    const SiteProfile& s = settings.site;
    OptionsValues v;
    v.favoredEditor = c.favoredEditor;
    v.asciiTypes = SplitList(c.asciiFiletypes, '|');
    v.gzipPath = c.gzipPath;
    v.logsEnabled = c.logsEnabled;
    v.summaryTypes = SplitList(c.logFileSumm, '/');
    v.urlFilters = c.logFileURLFilter;
    v.localLogdir = s.localLogdir;
    v.remLogdir = s.remLogdir;
    v.remLogdirAlt = s.remLogdirAlt;
    v.favRemDir = s.favRemDir;
    v.favRemDirCaption = s.favRemDirCaption;
    v.existingFiles = c.existingFiles;
    v.simultaneousTransfers = c.simultaneousTransfers;
    return v;
}

void OptionsValues::StoreTo(Settings& settings, ColourTheme theme) const {
    CommonSettings& c = settings.common;
    SiteProfile& s = settings.site;
    c.favoredEditor = favoredEditor;
    c.asciiFiletypes = asciiTypes.join('|').toLower();
    c.gzipPath = gzipPath;
    c.logsEnabled = logsEnabled;
    c.logFileSumm = summaryTypes.join('/').toLower();
    c.logFileURLFilter = urlFilters;
    c.existingFiles = std::clamp(existingFiles, 0, 3);
    c.simultaneousTransfers = std::clamp(simultaneousTransfers, 1, 8);
    s.localLogdir = localLogdir;
    s.remLogdir = remLogdir;
    s.remLogdirAlt = remLogdirAlt.trimmed();
    s.favRemDir = favRemDir;
    s.favRemDirCaption = favRemDirCaption;
    if (!chosenColour.isEmpty()) {
        StoreThemeColour(settings, theme, chosenColour, colourThisSiteOnly);
    }
}

QString AddAsciiType(QStringList& types, const QString& answer) {
    QString type = answer.trimmed().toLower();
    if (type.startsWith('.')) {
        type.remove(0, 1);
    }
    if (type.isEmpty()) {
        return {};
    }
    // The list is stored joined by vertical bars.
    if (type.contains('|')) {
        return R"(Vertical bar ("|") is not valid in a file type)";
    }
    if (types.contains(type)) {
        return "Specified file type is already listed";
    }
    types.append(type);
    return {};
}

QString AddSummaryType(QStringList& types, const QString& answer) {
    QString type = answer.trimmed().toLower();
    if (type == ".") {
        return {};
    }
    if (type.contains('/')) {
        return R"(Forward slash ("/") is not valid in a file extension)";
    }
    if (type.startsWith('.')) {
        type.remove(0, 1);
    }
    if (type.isEmpty()) {
        return {};
    }
    if (types.contains(type)) {
        return "Specified file extension is already listed";
    }
    types.append(type);
    return {};
}

QString AddUrlFilter(QStringList& filters, const QString& answer) {
    const QString text = answer.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    if (filters.contains(text)) {
        return "Specified filter text is already listed";
    }
    filters.append(text);
    return {};
}

void ResetRememberedDirectories(SiteProfile& site, const QString& currentLocalDir,
                                const QString& currentRemoteDir) {
    site.infLocDirs = QStringList{currentLocalDir};
    site.infRemDirs.clear();
    if (!currentRemoteDir.isEmpty() && currentRemoteDir != "?" && currentRemoteDir != "..") {
        site.infRemDirs.append(currentRemoteDir);
    }
}
