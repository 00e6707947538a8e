#pragma once
#include <QString>
// Placeholder until the listing parsers land: converts a local time text to HH:MM:SS.
QString TimeLocal(const QString& localTime);
