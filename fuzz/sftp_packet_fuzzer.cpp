// Feeds arbitrary bytes to the SFTP packet decoder in pieces, and every packet it yields to the
// reply parsers: nothing may crash, read out of bounds or allocate by a length from the input.
#include <cstddef>
#include <cstdint>

#include "session/sftp_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    sftp::PacketDecoder decoder(64 * 1024);
    const size_t piece = 1 + data[0] % 17;
    for (size_t at = 1; at < size; at += piece) {
        const size_t n = at + piece <= size ? piece : size - at;
        decoder.Feed(reinterpret_cast<const char*>(data + at), qsizetype(n));
        while (auto packet = decoder.Next()) {
            sftp::ParseVersion(packet->body);
            sftp::Reader reader(packet->body);
            reader.U32();
            switch (packet->type) {
                case sftp::kName:
                    sftp::ParseNames(reader);
                    break;
                case sftp::kAttrs:
                    reader.Attributes();
                    break;
                case sftp::kExtendedReply:
                    sftp::ParseLimits(reader);
                    break;
                default:
                    reader.String();
                    reader.String();
                    break;
            }
        }
    }
    return 0;
}
