// Any bytes as date and time texts: remote dates with several "today"s, local dates in every
// date order, local times, and short date formats.
#include <QString>
#include <cstddef>
#include <cstdint>

#include "listing/listing_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QDate today : {QDate(2026, 1, 1), QDate(2025, 12, 31), QDate(2026, 6, 15)}) {
        ListingState state;
        SetDateOrderAndToday(state, QStringLiteral("dd/MM/yyyy"), today);
        (void)DateRemote(state, text);
    }
    (void)TimeRemote(text);
    (void)TimeLocal(text);
    for (const char* letters : {"DMY", "MDY", "YMD", "DDD", "YYY", "MMM"}) {
        DateOrder order;
        order.letters = QString::fromLatin1(letters);
        order.known = true;
        (void)DateLocal(order, text);
    }
    // The text as a short date format: the order found and today read back through it.
    ListingState state;
    SetDateOrderAndToday(state, text.left(64), QDate(2026, 2, 28));
    (void)DateRemote(state, QStringLiteral("Feb 28 10:00"));
    return 0;
}
