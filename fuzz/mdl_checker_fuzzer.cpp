// Feeds arbitrary bytes to the mail definition checker and recipe writer as an MDL text.
#include <cstddef>
#include <cstdint>

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "procmail/recipe_generator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    RecipeGenerator generator;
    const QStringList recipe =
        generator.Generate(text.split('\n'), QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    if (!generator.Completed() && (recipe.isEmpty() || recipe.first() != kRecipeErrorMarker)) {
        __builtin_trap();
    }
    return 0;
}
