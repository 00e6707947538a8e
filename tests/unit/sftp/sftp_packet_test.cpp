#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "session/sftp_engine.h"
#include "session/sftp_packet.h"

using namespace sftp;

namespace {

QByteArray Sample() {
    return EncodeInit(3) + EncodeRead(7, "handle", 1234567890123ull, 32768) +
           EncodeRename(9, "from a", "to b") + EncodeWrite(10, "h", 0, "payload", 7);
}

QList<Packet> DecodeAll(PacketDecoder& decoder) {
    QList<Packet> packets;
    while (auto packet = decoder.Next()) {
        packets << *packet;
    }
    return packets;
}

}  // namespace

TEST(SftpPacketDecoder, SplitAtEveryByte) {
    const QByteArray stream = Sample();
    PacketDecoder whole;
    whole.Feed(stream);
    const QList<Packet> expected = DecodeAll(whole);
    ASSERT_EQ(expected.size(), 4);
    EXPECT_EQ(expected[0].type, kInit);
    EXPECT_EQ(expected[2].type, kRename);
    for (qsizetype split = 0; split <= stream.size(); ++split) {
        PacketDecoder decoder;
        decoder.Feed(stream.left(split));
        QList<Packet> got = DecodeAll(decoder);
        decoder.Feed(stream.mid(split));
        got += DecodeAll(decoder);
        ASSERT_EQ(got.size(), expected.size()) << split;
        for (qsizetype i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].type, expected[i].type);
            EXPECT_EQ(got[i].body, expected[i].body);
        }
    }
    PacketDecoder bytewise;
    QList<Packet> got;
    for (const char c : stream) {
        bytewise.Feed(&c, 1);
        got += DecodeAll(bytewise);
    }
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_EQ(bytewise.Buffered(), 0);
}

TEST(SftpPacketDecoder, OverLongAndEmptyLengthsBreakTheStream) {
    PacketDecoder decoder;
    decoder.Feed(QByteArray("\xff\xff\xff\xf0\x65", 5));
    EXPECT_FALSE(decoder.Next());
    EXPECT_TRUE(decoder.HasError());
    decoder.Feed(QByteArray(1000, 'x'));  // ignored once broken
    EXPECT_FALSE(decoder.Next());
    EXPECT_LT(decoder.Buffered(), 16);

    PacketDecoder empty;
    empty.Feed(QByteArray("\0\0\0\0", 4));
    EXPECT_FALSE(empty.Next());
    EXPECT_TRUE(empty.HasError());
}

TEST(SftpPacketReader, TruncatedFieldsAreErrorsNotCrashes) {
    const QByteArray body(
        "\0\0\0\x05"
        "ab",
        6);  // a string claiming 5 bytes, 2 present
    Reader reader(body);
    EXPECT_TRUE(reader.String().isEmpty());
    EXPECT_FALSE(reader.Ok());
    EXPECT_EQ(reader.U32(), 0u);

    // A NAME reply claiming four billion entries must not reserve them.
    const QByteArray names("\xff\xff\xff\xff", 4);
    Reader nameReader(names);
    EXPECT_FALSE(ParseNames(nameReader).has_value());

    const QByteArray attrs("\x80\0\0\0\xff\xff\xff\xff", 8);  // extended pairs beyond the end
    Reader attrReader(attrs);
    attrReader.Attributes();
    EXPECT_FALSE(attrReader.Ok());
}

TEST(SftpPacketEncoders, ReadLayout) {
    const QByteArray packet = EncodeRead(0x01020304, "hd", 0x0a0b0c0d0e0f1011ull, 0x8000);
    const QByteArray expected(
        "\0\0\0\x17\x05\x01\x02\x03\x04\0\0\0\x02hd"
        "\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\0\0\x80\0",
        27);
    EXPECT_EQ(packet, expected);
}

TEST(SftpPacketEncoders, AttributesRoundTrip) {
    SftpAttributes a;
    a.size = 1ull << 40;
    a.uid = 1000;
    a.gid = 100;
    a.permissions = 0100644;
    a.accessTime = 1;
    a.modificationTime = 2;
    const QByteArray body = Builder(kAttrs).U32(5).Attributes(a).Finish().mid(5);
    Reader reader(body);
    EXPECT_EQ(reader.U32(), 5u);
    const SftpAttributes b = reader.Attributes();
    EXPECT_TRUE(reader.Ok() && reader.AtEnd());
    EXPECT_EQ(b.size, a.size);
    EXPECT_EQ(b.uid, a.uid);
    EXPECT_EQ(b.permissions, a.permissions);
    EXPECT_EQ(b.modificationTime, a.modificationTime);
}

TEST(SftpCodeTexts, EveryCodeHasItsText) {
    QSet<QString> texts;
    for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8}) {
        texts << SftpCodeText(code);
    }
    for (int code : {SftpConnection::kPasswordRefused, SftpConnection::kConnectFailed,
                     SftpConnection::kHandshakeFailed, SftpConnection::kConnectionLost,
                     SftpConnection::kTimedOut, SftpConnection::kAborted,
                     SftpConnection::kLocalFileError, SftpConnection::kProtocolError}) {
        texts << SftpCodeText(code);
    }
    EXPECT_EQ(texts.size(), 17);
    EXPECT_EQ(SftpCodeText(2), "No such file or directory");
    EXPECT_EQ(SftpCodeText(3), "Permission denied");
}

TEST(SftpLineEnds, ConvertAcrossPieces) {
    // One piece after the other: the converter keeps state between them.
    LineEndConverter toCrLf(LineEndConverter::Direction::ToCrLf);
    QByteArray out = toCrLf.Convert("a\nb\r");
    out += toCrLf.Convert("\nc\n");
    out += toCrLf.Finish();
    EXPECT_EQ(out, QByteArray("a\r\nb\r\nc\r\n"));
    LineEndConverter toLf(LineEndConverter::Direction::ToLf);
    out = toLf.Convert("a\r\nb\r");
    out += toLf.Convert("\nc\rd\r");
    out += toLf.Finish();
    EXPECT_EQ(out, QByteArray("a\nb\nc\rd\r"));
}

TEST(SftpListingLineTest, UnixLongForm) {
    SftpNameEntry entry;
    entry.filename = "my file\nx";
    entry.longname = "-rw-r--r--    3 alice    staff        1234 Jan  1 12:00 my file";
    entry.attributes.size = 1234;
    entry.attributes.permissions = 0100644;
    const QDateTime recent = QDateTime::currentDateTime().addDays(-10);
    entry.attributes.modificationTime = quint32(recent.toSecsSinceEpoch());
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString line = SftpListingLine(entry, now);
    const QString month =
        QString("JanFebMarAprMayJunJulAugSepOctNovDec").mid((recent.date().month() - 1) * 3, 3);
    EXPECT_EQ(line, QString("-rw-r--r--    3 alice    staff            1234 %1 %2 %3 my file?x")
                        .arg(month)
                        .arg(recent.date().day(), 2, 10, QChar('0'))
                        .arg(recent.time().toString("HH:mm")));

    SftpNameEntry dir;
    dir.filename = "d";
    dir.attributes.permissions = 040755 | 01000;
    dir.attributes.uid = 1000;
    dir.attributes.gid = 50;
    const QDateTime old = QDateTime::currentDateTime().addYears(-2);
    dir.attributes.modificationTime = quint32(old.toSecsSinceEpoch());
    const QString dirLine = SftpListingLine(dir, now);
    EXPECT_TRUE(dirLine.startsWith("drwxr-xr-t    1 1000     50       ")) << dirLine.toStdString();
    EXPECT_TRUE(dirLine.endsWith(QString("  %1 d").arg(old.date().year())))
        << dirLine.toStdString();
}

// The engine against a scripted server: what it sends is decoded here, the answers are built
// by hand, faults included.
class ScriptedServer : public ::testing::Test {
protected:
    void SetUp() override {
        engine.send = [this](QByteArray bytes) { fromEngine.Feed(bytes); };
        QObject::connect(&engine, &SftpEngine::done,
                         [this](quint32 id, int code, const QString&) { codes[id] = code; });
        QObject::connect(&engine, &SftpEngine::broken, [this] { broken = true; });
        engine.Begin();
        auto init = fromEngine.Next();
        ASSERT_TRUE(init && init->type == kInit);
        engine.Feed(Builder(kVersion).U32(3).Finish());
        ASSERT_TRUE(engine.IsReady());
    }

    void Spin() {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
        }
    }

    // The next request with its id.
    std::pair<Packet, quint32> Request() {
        auto packet = fromEngine.Next();
        EXPECT_TRUE(packet.has_value());
        if (!packet) {
            return {};
        }
        Reader reader(packet->body);
        return {*packet, reader.U32()};
    }

    void Answer(const QByteArray& packet) { engine.Feed(packet); }

    SftpEngine engine;
    PacketDecoder fromEngine{1u << 30};
    QMap<quint32, int> codes;
    bool broken = false;
};

TEST_F(ScriptedServer, ReadReplyLargerThanAskedIsAProtocolError) {
    QTemporaryDir dir;
    engine.Download(1, "/f", dir.filePath("f"), false, false);
    Spin();
    auto [open, openId] = Request();
    ASSERT_EQ(open.type, kOpen);
    Answer(Builder(kHandle).U32(openId).String(QByteArray("H")).Finish());
    auto [fstat, fstatId] = Request();
    ASSERT_EQ(fstat.type, kFstat);
    SftpAttributes size;
    size.size = 100;
    Answer(Builder(kAttrs).U32(fstatId).Attributes(size).Finish());
    auto [read, readId] = Request();
    ASSERT_EQ(read.type, kRead);
    Answer(Builder(kData).U32(readId).String(QByteArray(5000, 'x')).Finish());
    EXPECT_TRUE(broken);
    EXPECT_EQ(codes.value(1), SftpConnection::kProtocolError);
}

TEST_F(ScriptedServer, UnknownReplyIdIsAProtocolError) {
    engine.RealPath(4, ".");
    Spin();
    auto [request, id] = Request();
    ASSERT_EQ(request.type, kRealpath);
    Answer(
        Builder(kStatus).U32(id + 1000).U32(0).String(QByteArray()).String(QByteArray()).Finish());
    EXPECT_TRUE(broken);
    EXPECT_EQ(codes.value(4), SftpConnection::kProtocolError);
}

TEST_F(ScriptedServer, OverLongPacketIsAProtocolError) {
    engine.RealPath(4, ".");
    Spin();
    Answer(QByteArray("\x7f\xff\xff\xff\x65", 5));
    EXPECT_TRUE(broken);
    EXPECT_EQ(codes.value(4), SftpConnection::kProtocolError);
}

TEST_F(ScriptedServer, PipelinedDownloadOutOfOrderAndShortReads) {
    QTemporaryDir dir;
    QByteArray content(200000, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i) {
        content[i] = char(i * 7 + i / 251);
    }
    engine.Download(2, "/f", dir.filePath("f"), false, false);
    Spin();
    auto [open, openId] = Request();
    Answer(Builder(kHandle).U32(openId).String(QByteArray("H")).Finish());
    auto [fstat, fstatId] = Request();
    SftpAttributes size;
    size.size = quint64(content.size());
    Answer(Builder(kAttrs).U32(fstatId).Attributes(size).Finish());
    int rounds = 0;
    bool sawMany = false;
    while (!codes.contains(2) && rounds++ < 1000) {
        QList<std::tuple<quint32, quint64, quint32, quint8>> reads;
        while (auto packet = fromEngine.Next()) {
            Reader reader(packet->body);
            const quint32 id = reader.U32();
            if (packet->type == kClose) {
                Answer(Builder(kStatus)
                           .U32(id)
                           .U32(0)
                           .String(QByteArray())
                           .String(QByteArray())
                           .Finish());
                continue;
            }
            ASSERT_EQ(packet->type, kRead);
            reader.String();
            const quint64 offset = reader.U64();
            const quint32 length = reader.U32();
            reads.append({id, offset, length, 0});
        }
        if (reads.isEmpty()) {
            break;
        }
        sawMany = sawMany || reads.size() > 1;
        // Answer in reverse order, and each read only half-way (a short read).
        for (qsizetype i = reads.size() - 1; i >= 0; --i) {
            const auto [id, offset, length, unused] = reads[i];
            if (offset >= quint64(content.size())) {
                Answer(Builder(kStatus)
                           .U32(id)
                           .U32(kEof)
                           .String(QByteArray())
                           .String(QByteArray())
                           .Finish());
                continue;
            }
            const quint32 give = std::max<quint32>(
                1, std::min<quint32>(length / 2 + 1, quint32(content.size() - offset)));
            Answer(Builder(kData).U32(id).String(content.mid(qsizetype(offset), give)).Finish());
        }
    }
    EXPECT_TRUE(sawMany);
    EXPECT_EQ(codes.value(2, -1), 0);
    QFile file(dir.filePath("f"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == content);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
