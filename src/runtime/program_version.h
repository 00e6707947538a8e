#pragma once

#include <QString>

#include "version.h"

// "major.minor.release" of the running build.
inline QString ProgramVersion() {
    return QStringLiteral(VORLEN_VERSION_TEXT);
}
