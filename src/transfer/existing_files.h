#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

#include "runtime/user_interface.h"

// What a batch does with a file whose target already exists: the setting, the person's
// choice, and what that choice means for one file. Pure, so every rule is tested alone.

// The setting "When a file exists" (common key ExistingFiles).
enum class ExistingFiles { Ask = 0, Overwrite = 1, OverwriteIfNewer = 2, Skip = 3 };
ExistingFiles ExistingFilesFrom(int value);

enum class ExistingAction { Transfer, Resume, Skip, Rename };

// Listing times have a minute's resolution: a source counts as newer only beyond it.
inline constexpr qint64 kNewerToleranceSeconds = 60;

// What Choice means for Query's file. "If newer" with a time unknown on either side keeps the
// target (nothing is overwritten on a guess); Resume on a target that is not smaller sends the
// whole file.
ExistingAction ExistingActionFor(ExistingChoice choice, const ExistingFileQuery& query);

// "name (1).ext", "name (2).ext", ... the first that Taken does not know.
QString FreeName(const QString& name, const std::function<bool(const QString&)>& taken);
