#include <gtest/gtest.h>

#include <QString>

#include "config/scrambling.h"

using namespace scrambling;

TEST(Base64Variant, KnownVectors) {
    struct Case {
        QByteArray plain;
        QByteArray encoded;
    };
    const Case cases[] = {
        {"", ""},
        {"1", "MQ=="},
        {"ABC", "QUJD"},
        {"AB", "QUI="},
        {QByteArray("\xfb\xff\xbf", 3), "@.@."},  // "+/+/" in standard Base64
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Base64Encode(c.plain), c.encoded) << c.plain.toHex().constData();
        EXPECT_EQ(Base64Decode(c.encoded), c.plain) << c.encoded.constData();
    }
}

TEST(Base64Variant, AwkwardInputNeverFails) {
    EXPECT_EQ(Base64Decode("Q"), QByteArray());      // a lone last character is ignored
    EXPECT_EQ(Base64Decode("QUJDQ"), "ABC");        // ... also after whole groups
    EXPECT_EQ(Base64Decode("QUI"), "AB");           // a short last group decodes as far as it goes
    EXPECT_EQ(Base64Decode("!!!!").size(), 3);       // unknown characters give wrong bytes
    QByteArray all;
    for (int i = 0; i < 256; ++i) {
        all.append(char(i));
    }
    EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
}

TEST(Scrambling, JumbleChars) {
    EXPECT_EQ(JumbleChars(""), "");
    EXPECT_EQ(JumbleChars("A"), "A");
    EXPECT_EQ(JumbleChars("AB"), "BA");
    EXPECT_EQ(JumbleChars("ABCDE"), "BADCE");
    EXPECT_EQ(JumbleChars(JumbleChars("ABCDEF")), "ABCDEF");
}

TEST(Scrambling, StrCryptXORModes) {
    const QByteArray text = "secret text";
    const QByteArray enciphered = StrCryptXOR("E", kLockFileKey, text);
    EXPECT_EQ(enciphered.size(), text.size());
    EXPECT_NE(enciphered, text);
    EXPECT_EQ(StrCryptXOR("D", kLockFileKey, enciphered), text);
    EXPECT_EQ(StrCryptXOR("d", kLockFileKey, enciphered), text);
    EXPECT_EQ(StrCryptXOR("x", kLockFileKey, text), enciphered);
    EXPECT_EQ(StrCryptXOR("E", 1234, ""), "");
    // The first byte is XORed with the key's high byte.
    EXPECT_EQ(uint8_t(StrCryptXOR("E", 0x4100, "A")[0]), 0);
}

TEST(Scrambling, RoundTripsForEveryLength) {
    for (int n = 0; n <= 30; ++n) {
        QByteArray plain;
        for (int i = 0; i < n; ++i) {
            plain.append(char('a' + (i * 7) % 26));
        }
        const QByteArray scrambled = ComplexEncrypt(plain);
        const int m = 4 * ((n + 2) / 3);
        EXPECT_EQ(scrambled.size(), 4 * ((m + 2) / 3)) << n;
        for (char c : scrambled) {
            EXPECT_TRUE(QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789@.=")
                            .contains(c))
                << n;
        }
        EXPECT_EQ(ComplexDecrypt(scrambled), plain) << n;
    }
}

TEST(Scrambling, NonAsciiPasswordsComeBackUnchanged) {
    const QByteArray plain = QString::fromUtf8("pässwörd€🙂").toUtf8();
    EXPECT_EQ(ComplexDecrypt(ComplexEncrypt(plain)), plain);
    EXPECT_NE(ComplexEncrypt(plain), plain);
}

TEST(Scrambling, GetDecimalFromHex) {
    EXPECT_EQ(GetDecimalFromHex(""), 0);
    EXPECT_EQ(GetDecimalFromHex("4"), 4);
    EXPECT_EQ(GetDecimalFromHex("1F"), 31);
    EXPECT_EQ(GetDecimalFromHex("FF"), 255);
    EXPECT_EQ(GetDecimalFromHex("ff"), 255);
    EXPECT_EQ(GetDecimalFromHex("1G"), 16);
    EXPECT_EQ(GetDecimalFromHex("0A0"), 160);
    GetDecimalFromHex("FFFFFFFFFFFFFFFFFFFF");  // long texts wrap, never trap
}
