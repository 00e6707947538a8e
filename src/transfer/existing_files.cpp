#include "transfer/existing_files.h"

ExistingFiles ExistingFilesFrom(int value) {
    return value >= 0 && value <= 3 ? ExistingFiles(value) : ExistingFiles::Ask;
}

ExistingAction ExistingActionFor(ExistingChoice choice, const ExistingFileQuery& query) {
    switch (choice) {
        case ExistingChoice::Overwrite:
            return ExistingAction::Transfer;
        case ExistingChoice::OverwriteIfNewer:
            if (!query.sourceTime.isValid() || !query.targetTime.isValid()) {
                return ExistingAction::Skip;
            }
            return query.targetTime.secsTo(query.sourceTime) > kNewerToleranceSeconds
                       ? ExistingAction::Transfer
                       : ExistingAction::Skip;
        case ExistingChoice::Resume:
            return query.targetSize < query.sourceSize ? ExistingAction::Resume
                                                       : ExistingAction::Transfer;
        case ExistingChoice::Skip:
            return ExistingAction::Skip;
        case ExistingChoice::Rename:
            return ExistingAction::Rename;
    }
    return ExistingAction::Transfer;
}

QString FreeName(const QString& name, const std::function<bool(const QString&)>& taken) {
    // A leading dot is part of the name, not an extension: ".htaccess (1)".
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExtension = dot > 0;
    const QString stem = hasExtension ? name.left(dot) : name;
    const QString extension = hasExtension ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString candidate = QString("%1 (%2)%3").arg(stem).arg(n).arg(extension);
        if (!taken(candidate)) {
            return candidate;
        }
    }
}
