// Any bytes as a whole listing: type detection, column location and every line parsed and dated.
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

#include "listing/listing_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const qsizetype length = qsizetype(size - 1);
    // The first byte picks the decoding, the link treatment and the date format.
    const QString text =
        (data[0] & 1) ? QString::fromLatin1(bytes, length) : QString::fromUtf8(bytes, length);
    ListingState state;
    state.linkTreatment = (data[0] >> 1) % 3;
    SetDateOrderAndToday(
        state, (data[0] & 8) ? QStringLiteral("M/d/yy") : QStringLiteral("dd.MM.yyyy"),
        QDate(2025 + ((data[0] >> 4) & 1), 1 + ((data[0] >> 5) % 12), 1 + (data[0] % 28)));
    const QStringList lines = text.split(u'\n');
    ExamineFirstDirEntRec(state, lines);
    ParsedEntry entry;
    for (qsizetype i = state.zosMode ? 1 : 0; i < lines.size(); ++i) {
        if (Parse_Dir_Entry(state, lines[i], entry)) {
            (void)RemoteModifiedText(state, entry.rawDate);
        }
    }
    return 0;
}
