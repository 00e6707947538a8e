// Any bytes as a whole listing: type detection, column location and every line parsed and dated.
// Each line is also parsed on its own from a buffer of exactly its length (so the sanitizer sees
// any read past it) by both non-z/OS text forms and as a machine listing (MLSD) line, and an entry
// must have a name taken from the line (a text form's name has a visible character or is one
// blank).
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "listing/listing_parser.h"

namespace {

void CheckEntry(const ParsedEntry& entry, QStringView line, bool machine = false) {
    bool visible = machine ? !entry.name.isEmpty() : entry.name == u" ";
    for (const QChar c : entry.name) {
        visible = visible || c.unicode() > 32;
    }
    if (!visible || !line.contains(entry.name)) {
        std::abort();
    }
}

}  // namespace

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
            if (!state.zosMode) {
                CheckEntry(entry, lines[i]);
            }
        }
    }

    ListingState plain = state;
    plain.zosMode = false;
    for (const QString& line : lines) {
        const qsizetype n = line.size();
        const std::unique_ptr<QChar[]> exact(new QChar[size_t(n > 0 ? n : 1)]);
        std::copy(line.begin(), line.end(), exact.get());
        const QStringView view(exact.get(), n);
        for (const char* type : {"U1", "M1", "ML"}) {
            plain.listingType = QString::fromLatin1(type);
            if (Parse_Dir_Entry(plain, view, entry)) {
                CheckEntry(entry, view, plain.listingType == kMachineListingType);
                (void)RemoteModifiedText(plain, entry.rawDate);
                (void)DateRemote(plain, entry.rawDate);
                (void)TimeRemote(entry.rawDate);
            } else if (!entry.name.isEmpty()) {
                std::abort();
            }
        }
    }
    return 0;
}
