// Control-connection bytes from a hostile server: the reply framing, the 227 and 257 parsers and
// the SOCKS answers must neither crash nor let a line outgrow the reply buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ftp/ftp_protocol.h"
#include "ftp/socks_handshake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the packet size, so replies get split at every place.
    const size_t chunk = 1 + data[0] % 64;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    FtpReplyReader reader;
    for (qsizetype pos = 0; pos < bytes.size(); pos += static_cast<qsizetype>(chunk)) {
        for (const FtpReplyLine& line :
             reader.Feed(bytes.mid(pos, static_cast<qsizetype>(chunk)))) {
            if (line.text.size() > FtpReplyReader::kBufferSize) {
                std::abort();
            }
            ParsePasvReply(line.text);
            DirectoryFrom257(line.text);
        }
    }
    for (const SocksLevel level : {SocksLevel::Socks4, SocksLevel::Socks4A, SocksLevel::Socks5}) {
        SocksHandshake socks(level, "host.test", 21, "user", "password");
        socks.Start();
        QByteArray rest = bytes;
        while (!rest.isEmpty()) {
            const SocksHandshake::Step step = socks.Feed(rest);
            if (step.consumed < 0 || step.consumed > rest.size()) {
                std::abort();
            }
            if (step.consumed == 0 || step.done || !step.error.isEmpty()) {
                break;
            }
            rest.remove(0, step.consumed);
        }
    }
    return 0;
}
