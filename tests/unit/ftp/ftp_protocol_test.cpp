#include <gtest/gtest.h>

#include "ftp/ftp_protocol.h"
#include "ftp/socket_errors.h"

namespace {
struct Expected {
    QString text;
    bool complete;
    int code;
};

void ExpectLines(const std::vector<FtpReplyLine>& got, const std::vector<Expected>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].text, want[i].text) << i;
        EXPECT_EQ(got[i].complete, want[i].complete) << i;
        if (want[i].complete) {
            EXPECT_EQ(got[i].code, want[i].code) << i;
        }
    }
}
}  // namespace

TEST(FtpReplyReader, CutsLinesAndMarksReplyEnds) {
    struct Case {
        const char* name;
        std::vector<QByteArray> packets;
        std::vector<Expected> lines;
    };
    const std::vector<Case> cases = {
        {"single", {"220 Ready\r\n"}, {{"220 Ready", true, 220}}},
        {"bare line feed", {"200 ok\n"}, {{"200 ok", true, 200}}},
        {"multi-line greeting",
         {"220-Welcome\r\n  to the test\r\n220 Go ahead\r\n"},
         {{"220-Welcome", false, 0}, {"  to the test", false, 0}, {"220 Go ahead", true, 220}}},
        {"multi-line reply",
         {"211-Status\r\n211 End\r\n"},
         {{"211-Status", false, 0}, {"211 End", true, 211}}},
        {"split across packets", {"22", "0 Rea", "dy\r", "\n"}, {{"220 Ready", true, 220}}},
        {"no code", {"hello there\r\n"}, {{"hello there", false, 0}}},
        {"code only", {"250\r\n"}, {{"250", true, 250}}},
        {"two replies in one packet",
         {"150 Opening\r\n226 Done\r\n"},
         {{"150 Opening", true, 150}, {"226 Done", true, 226}}},
        {"incomplete line waits", {"230 Logged"}, {}},
        {"empty line", {"\r\n"}, {{"", false, 0}}},
        // Inside a multi-line reply only its own code and a blank end it.
        {"digits inside a multi-line reply",
         {"230-Welcome\r\n10 users online\r\n230-still\r\n150 not ours\r\n230 Done\r\n"},
         {{"230-Welcome", false, 0},
          {"10 users online", false, 0},
          {"230-still", false, 0},
          {"150 not ours", false, 0},
          {"230 Done", true, 230}}},
        {"multi-line reply ended by the bare code",
         {"211-Features\r\n211\r\n"},
         {{"211-Features", false, 0}, {"211", true, 211}}},
        {"more than three digits end nothing", {"2000 x\r\n"}, {{"2000 x", false, 0}}},
        {"UTF-8 reply",
         {"257 \"/Gr\xc3\xbc\xc3\x9f"
          "e\"\r\n"},
         {{QString::fromUtf8("257 \"/Gr\xc3\xbc\xc3\x9f"
                             "e\""),
           true, 257}}},
        {"Latin-1 reply",
         {"257 \"/Gr\xfc\xdf"
          "e\"\r\n"},
         {{QString::fromLatin1("257 \"/Gr\xfc\xdf"
                               "e\""),
           true, 257}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FtpReplyReader reader;
        std::vector<FtpReplyLine> all;
        for (const QByteArray& packet : c.packets) {
            for (FtpReplyLine& line : reader.Feed(packet)) {
                all.push_back(std::move(line));
            }
        }
        ExpectLines(all, c.lines);
    }
}

TEST(FtpReplyReader, OverLongLineIsCutAtTheBufferSize) {
    FtpReplyReader reader;
    const QByteArray longLine = "200 " + QByteArray(5000, 'x') + "\r\n";
    const auto lines = reader.Feed(longLine);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text.size(), FtpReplyReader::kBufferSize);
    EXPECT_TRUE(lines[0].complete);
    EXPECT_EQ(lines[0].code, 200);
    EXPECT_EQ(lines[1].text, QString(5004 - FtpReplyReader::kBufferSize, 'x'));
    EXPECT_FALSE(lines[1].complete);
    // The reader is usable afterwards.
    const auto next = reader.Feed("226 ok\r\n");
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].code, 226);
}

TEST(FtpReplyReader, OverLongLineAcrossPacketsStaysBounded) {
    FtpReplyReader reader;
    size_t lines = 0;
    for (int i = 0; i < 10; ++i) {
        lines += reader.Feed(QByteArray(1000, 'y')).size();
    }
    EXPECT_EQ(lines, 2u);  // 10000 bytes without a line feed: two full buffers handed over
}

TEST(FtpProtocol, ExtendedPassiveAndActiveTexts) {
    EXPECT_EQ(ParseEpsvReply("229 Entering Extended Passive Mode (|||6446|)"), 6446);
    EXPECT_EQ(ParseEpsvReply("229 ok (!!!21!)"), 21);
    for (const char* bad : {"229 no parentheses", "229 (|||0|)", "229 (|||70000|)", "229 (||6446|)",
                            "229 (|||x|)", "229 (|||6446)"}) {
        EXPECT_FALSE(ParseEpsvReply(bad).has_value()) << bad;
    }
    EXPECT_EQ(EprtCommand("::1", true, 5282), "EPRT |2|::1|5282|");
    EXPECT_EQ(EprtCommand("10.0.0.1", false, 21), "EPRT |1|10.0.0.1|21|");
    EXPECT_TRUE(HasLineBreak("a\r\nDELE b"));
    EXPECT_TRUE(HasLineBreak("a\nb"));
    EXPECT_FALSE(HasLineBreak("name with blanks"));
}

TEST(FtpProtocol, ParsePasvReply) {
    struct Case {
        QString reply;
        bool ok;
        QString host;
        quint16 port;
    };
    const std::vector<Case> cases = {
        {"227 Entering Passive Mode (192,0,2,10,19,137)", true, "192.0.2.10", 5001},
        {"227 Entering Passive Mode (127,0,0,1,0,21).", true, "127.0.0.1", 21},
        {"227 ok ( 10, 1, 2, 3, 255, 255 )", true, "10.1.2.3", 65535},
        {"227 Entering Passive Mode", false, "", 0},
        {"227 Entering Passive Mode ()", false, "", 0},
        {"227 (1,2,3,4,5)", false, "", 0},
        {"227 (1,2,3,4,5,6,7)", false, "", 0},
        {"227 (1,2,3,256,5,6)", false, "", 0},
        {"227 (a,b,c,d,e,f)", false, "", 0},
        {"227 (1,2,3,4,5,6", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        const auto address = ParsePasvReply(c.reply);
        ASSERT_EQ(address.has_value(), c.ok);
        if (c.ok) {
            EXPECT_EQ(address->host, c.host);
            EXPECT_EQ(address->port, c.port);
        }
    }
}

TEST(FtpProtocol, PortCommand) {
    EXPECT_EQ(PortCommand("127.0.0.1", 5001), "PORT 127,0,0,1,19,137");
    EXPECT_EQ(PortCommand("10.0.0.2", 255), "PORT 10,0,0,2,0,255");
    EXPECT_EQ(PortCommand("10.0.0.2", 65535), "PORT 10,0,0,2,255,255");
}

TEST(FtpProtocol, ProxyUserNameAndPorts) {
    EXPECT_EQ(ProxyUserName("ann", "ftp.example.org", "21"), "ann@ftp.example.org");
    EXPECT_EQ(ProxyUserName("ann", "ftp.example.org", "ftp"), "ann@ftp.example.org");
    EXPECT_EQ(ProxyUserName("ann", "h", "2121"), "ann@h:2121");
    EXPECT_EQ(FtpPortNumber("ftp"), 21);
    EXPECT_EQ(FtpPortNumber(" 2121 "), 2121);
    EXPECT_EQ(FtpPortNumber("70000"), 0);
    EXPECT_EQ(FtpPortNumber("x"), 0);
}

TEST(FtpProtocol, CommandEchoNeverShowsThePassword) {
    EXPECT_EQ(CommandEcho("PASS secret"), "> PASS ****");
    EXPECT_EQ(CommandEcho("pass secret"), "> PASS ****");
    EXPECT_EQ(CommandEcho("PASS"), "> PASS ****");
    EXPECT_EQ(CommandEcho("USER ann"), "> USER ann");
    EXPECT_EQ(CommandEcho("PASV"), "> PASV");
}

TEST(FtpProtocol, TransferSummary) {
    EXPECT_EQ(TransferSummary(1000, true, 500),
              "! 1000 bytes received in 500 milliseconds (2000 Bytes/sec)");
    EXPECT_EQ(TransferSummary(0, false, 0), "! 0 bytes sent in 0 milliseconds (0 Bytes/sec)");
    EXPECT_EQ(TransferSummary(30000000, false, 30000),
              "! 30000000 bytes sent in 30 seconds (1000000 Bytes/sec)");
}

TEST(FtpProtocol, DirectoryFrom257) {
    EXPECT_EQ(DirectoryFrom257("257 \"/home/ann\" is the current directory"), "/home/ann");
    EXPECT_EQ(DirectoryFrom257("257 \"/a \"\"b\"\"\" created"), "/a \"b\"");
    EXPECT_EQ(DirectoryFrom257("257 \"'USER.DATA'\""), "'USER.DATA'");
    EXPECT_EQ(DirectoryFrom257("257 no quotes"), "");
}

TEST(SocketErrors, MapsToWinsockNumbers) {
    EXPECT_EQ(DescribeSocketError(QAbstractSocket::ConnectionRefusedError).number, 10061);
    EXPECT_EQ(DescribeSocketError(QAbstractSocket::RemoteHostClosedError).number, 10054);
    EXPECT_EQ(DescribeSocketError(QAbstractSocket::HostNotFoundError).number, 11001);
    EXPECT_EQ(DescribeSocketError(QAbstractSocket::SocketTimeoutError).number, 10060);
    EXPECT_FALSE(DescribeSocketError(QAbstractSocket::UnknownSocketError).text.isEmpty());
}

TEST(FtpFeatures, MachineListingsNeedTypeSizeAndModify) {
    const FtpFeatures full =
        ParseFeatReply({"211-Features:", " MDTM", " SIZE",
                        " MLST type*;size*;modify*;UNIX.mode;perm*;", " UTF8", "211 End"});
    EXPECT_TRUE(full.mdtm);
    EXPECT_TRUE(full.MachineListings());
    EXPECT_EQ(full.mlstFacts, QStringList({"type", "size", "modify", "unix.mode", "perm"}));
    // UNIX.mode is offered but not sent unasked: it is asked for with the rest.
    EXPECT_EQ(MlstOptionsCommand(full), "OPTS MLST type;size;modify;UNIX.mode;perm;");

    const FtpFeatures inUse =
        ParseFeatReply({"211-Extensions supported:", " mlst Type*;Size*;Modify*;", "211 END"});
    EXPECT_FALSE(inUse.mdtm);
    EXPECT_TRUE(inUse.MachineListings());
    EXPECT_EQ(MlstOptionsCommand(inUse), "");
    // Facts nobody reads are turned off: they only lengthen every line.
    EXPECT_EQ(MlstOptionsCommand(ParseFeatReply(
                  {"211-Features:", " MLST type*;size*;modify*;unique*;UNIX.owner*;", "211 End"})),
              "OPTS MLST type;size;modify;");

    EXPECT_FALSE(
        ParseFeatReply({"211-Features:", " MLST type*;modify*;", "211 End"}).MachineListings());
    EXPECT_FALSE(ParseFeatReply({"211-Features:", " MLSD", " MDTM", "211 End"}).mlst);
    EXPECT_FALSE(ParseFeatReply({"500 FEAT not understood"}).MachineListings());
    // Lines without the leading blank are the reply's own, not features.
    EXPECT_FALSE(ParseFeatReply({"211-MLST type*;size*;modify*;", "211 End"}).mlst);
}
