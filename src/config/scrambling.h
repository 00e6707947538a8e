#pragma once

#include <QByteArray>
#include <cstdint>

// Password scrambling and the program's Base64 variant. All texts are byte strings: a password
// with non-ASCII characters is scrambled as its UTF-8 bytes. This is obfuscation against casual
// reading, not encryption: the keys are fixed.
namespace scrambling {

inline constexpr uint16_t kFirstPassKey = 5943;
inline constexpr uint16_t kSecondPassKey = 7406;
inline constexpr uint16_t kLockFileKey = 9826;

// Standard Base64 with "@" for value 62 and "." for value 63; "=" pads.
QByteArray Base64Encode(const QByteArray& text);
// Never fails: characters outside the alphabet decode to wrong bytes, a trailing group of one
// character is ignored, and a shorter last group decodes as far as it goes.
QByteArray Base64Decode(const QByteArray& text);

// Mode "D" or "d" deciphers, anything else enciphers. The result has the length of Text.
QByteArray StrCryptXOR(const QByteArray& mode, uint16_t key, const QByteArray& text);

// Swaps neighbouring characters; its own inverse.
QByteArray JumbleChars(const QByteArray& text);

QByteArray ComplexEncrypt(const QByteArray& plain);
QByteArray ComplexDecrypt(const QByteArray& scrambled);

// Value of a hexadecimal text; characters other than 1-9, A-F (any case) count as zero digits.
int64_t GetDecimalFromHex(const QByteArray& text);

}  // namespace scrambling
