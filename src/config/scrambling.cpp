#include "config/scrambling.h"

#include <array>

namespace scrambling {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789@.";

constexpr std::array<uint8_t, 256> MakeDecodeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& v : table) {
        v = 255;
    }
    for (int i = 0; i < 64; ++i) {
        table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<uint8_t>(i);
    }
    return table;
}
constexpr auto kDecode = MakeDecodeTable();

}  // namespace

QByteArray Base64Encode(const QByteArray& text) {
    const int remainder = int(text.size() % 3);
    QByteArray padded = text;
    if (remainder > 0) {
        padded.append(3 - remainder, '\0');
    }
    QByteArray out;
    out.reserve(padded.size() / 3 * 4);
    for (qsizetype i = 0; i < padded.size(); i += 3) {
        const auto b1 = static_cast<uint8_t>(padded[i]);
        const auto b2 = static_cast<uint8_t>(padded[i + 1]);
        const auto b3 = static_cast<uint8_t>(padded[i + 2]);
        out.append(kAlphabet[b1 >> 2]);
        out.append(kAlphabet[((b1 & 3) << 4) | (b2 >> 4)]);
        out.append(kAlphabet[((b2 & 15) << 2) | (b3 >> 6)]);
        out.append(kAlphabet[b3 & 63]);
    }
    if (remainder > 0) {
        out[out.size() - 1] = '=';
    }
    if (remainder == 1) {
        out[out.size() - 2] = '=';
    }
    return out;
}

QByteArray Base64Decode(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() / 4 * 3);
    const qsizetype n = text.size();
    for (qsizetype start = 0; start < n; start += 4) {
        const qsizetype groupLen = std::min<qsizetype>(4, n - start);
        if (groupLen < 2) {
            break;  // one lone character carries no whole byte
        }
        auto at = [&](qsizetype k) -> char { return k < groupLen ? text[start + k] : '='; };
        uint8_t a = kDecode[static_cast<uint8_t>(at(0))];
        uint8_t b = kDecode[static_cast<uint8_t>(at(1))];
        uint8_t c = kDecode[static_cast<uint8_t>(at(2))];
        uint8_t d = kDecode[static_cast<uint8_t>(at(3))];
        int count = 3;
        if (at(3) == '=') {
            count = 2;
            d = 0;
            if (at(2) == '=') {
                count = 1;
                c = 0;
            }
        }
        out.append(char(uint8_t((a << 2) | (b >> 4))));
        if (count > 1) {
            out.append(char(uint8_t((b << 4) | (c >> 2))));
        }
        if (count > 2) {
            out.append(char(uint8_t((c << 6) | d)));
        }
    }
    return out;
}

QByteArray StrCryptXOR(const QByteArray& mode, uint16_t key, const QByteArray& text) {
    const bool decipher = mode == "D" || mode == "d";
    uint64_t k = key;
    QByteArray result(text.size(), '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto in = static_cast<uint8_t>(text[i]);
        const auto o = static_cast<uint8_t>(in ^ uint8_t(k >> 8));
        result[i] = char(o);
        // Both directions feed the scrambled byte into the key, so deciphering replays it.
        const uint64_t c = decipher ? in : o;
        k = ((k + c) * 61242u + 27947u) % 65536u;
    }
    return result;
}

QByteArray JumbleChars(const QByteArray& text) {
    if (text.size() < 2) {
        return text;
    }
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
        out.append(text[i + 1]);
        out.append(text[i]);
    }
    if (text.size() % 2 == 1) {
        out.append(text.back());
    }
    return out;
}

QByteArray ComplexEncrypt(const QByteArray& plain) {
    QByteArray t = JumbleChars(plain);
    t = StrCryptXOR("E", kFirstPassKey, t);
    t = Base64Encode(t);
    t = JumbleChars(t);
    t = StrCryptXOR("E", kSecondPassKey, t);
    return Base64Encode(t);
}

QByteArray ComplexDecrypt(const QByteArray& scrambled) {
    QByteArray t = Base64Decode(scrambled);
    t = StrCryptXOR("D", kSecondPassKey, t);
    t = JumbleChars(t);
    t = Base64Decode(t);
    t = StrCryptXOR("D", kFirstPassKey, t);
    return JumbleChars(t);
}

int64_t GetDecimalFromHex(const QByteArray& text) {
    const QByteArray upper = text.toUpper();
    uint64_t result = 0;  // unsigned: very long inputs wrap instead of overflowing
    uint64_t place = 1;
    for (qsizetype i = upper.size() - 1; i >= 0; --i) {
        const char ch = upper[i];
        int digit = 0;
        if (ch >= '1' && ch <= '9') {
            digit = ch - '0';
        } else if (ch >= 'A' && ch <= 'F') {
            digit = ch - 'A' + 10;
        }
        result += uint64_t(digit) * place;
        place *= 16;
    }
    return static_cast<int64_t>(result);
}

}  // namespace scrambling
