// Any bytes as one access-log line, from a buffer of exactly its length (so the sanitizer sees
// any read past it): the hit, its URL completed both ways and every field as a CSV field. A hit's
// fields must come out as the layout promises: the address a word, URL and referrer lower-cased,
// and a guarded CSV field never starting with a formula character outside quotes.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "logs/log_run.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckField(const QString& field) {
    const QString csv = SafeCsvField(field);
    if (csv.isEmpty() || field == "-") {
        return;
    }
    const QChar first = csv[0];
    Require(first != u'=' && first != u'+' && first != u'-' && first != u'@' && first != u'\t' &&
            first != u'\r');
    Require(!csv.contains(u'\r') || first == u'"');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto copy = std::make_unique<char[]>(size);
    std::memcpy(copy.get(), data, size);
    const std::optional<LogHit> hit = ParseLogLine(QByteArrayView(copy.get(), qsizetype(size)));
    if (!hit) {
        return 0;
    }
    Require(!hit->address.contains(u' ') && !hit->address.contains(u'\t'));
    Require(hit->url == hit->url.toLower() && hit->referrer == hit->referrer.toLower());
    Require(hit->time.size() <= 16);  // eight characters, each of at most two UTF-16 units
    for (const QString& protocol : {QStringLiteral("http://"), QStringLiteral("https://")}) {
        const std::optional<QString> url = CompleteUrl(hit->url, protocol, "example.com");
        Require(!url || url->contains(protocol));
        if (url) {
            (void)LogFileType(*url);
            CheckField(*url);
        }
    }
    for (const QString* field :
         {&hit->date, &hit->time, &hit->size, &hit->referrer, &hit->browser, &hit->address}) {
        CheckField(*field);
    }
    return 0;
}
