#pragma once

#include <QString>

// Names of the daily access-log files: "prefix.yyyymmdd", possibly with ".gz" while compressed.

// Everything before the last ".", empty when the name has none.
QString LogfilePrefix(const QString& name);
// Everything after the last ".", the whole name when it has none.
QString LogfileSuffix(const QString& name);
// True when the name has a "." and its suffix is exactly 8 digits (yyyymmdd): a log that can be
// processed.
bool IsDatedLogName(const QString& name);

// "yyyymm" for a dated log name (stats.20051130, stats.20051130.gz, stats.051130), "0" for any
// other name. A six-digit date has a two-digit year: 9x is 199x, anything else 20xx.
QString LogMonth(const QString& fileName);

// The name a downloaded log has once decompressed: everything before ".gz" (any case) when the
// name holds it, else the name.
QString LogBaseName(const QString& name);
