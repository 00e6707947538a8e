#include <gtest/gtest.h>

#include "ftp/socks_handshake.h"

namespace {
QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int v : values) {
        bytes.append(static_cast<char>(v));
    }
    return bytes;
}
}  // namespace

TEST(SocksHandshake, Socks4ConnectAndReply) {
    SocksHandshake socks(SocksLevel::Socks4, "127.0.0.1", 21, "ann", "");
    EXPECT_EQ(socks.Start(), Bytes({4, 1, 0, 21, 127, 0, 0, 1, 'a', 'n', 'n', 0}));
    EXPECT_EQ(socks.Feed(Bytes({0, 90, 0, 0})).consumed, 0);  // wait for all 8 bytes
    const auto step = socks.Feed(Bytes({0, 90, 0, 0, 0, 0, 0, 0, '2', '2', '0'}));
    EXPECT_EQ(step.consumed, 8);  // the greeting after the reply is left alone
    EXPECT_TRUE(step.done);
    EXPECT_TRUE(step.error.isEmpty());
}

TEST(SocksHandshake, Socks4Refused) {
    SocksHandshake socks(SocksLevel::Socks4, "10.0.0.1", 21, "", "");
    socks.Start();
    const auto step = socks.Feed(Bytes({0, 91, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(step.done);
    EXPECT_FALSE(step.error.isEmpty());
}

TEST(SocksHandshake, Socks4ASendsTheName) {
    SocksHandshake socks(SocksLevel::Socks4A, "ftp.test", 0x1389, "u", "");
    EXPECT_EQ(socks.Start(), Bytes({4, 1, 0x13, 0x89, 0, 0, 0, 1, 'u', 0, 'f', 't', 'p', '.', 't',
                                    'e', 's', 't', 0}));
}

TEST(SocksHandshake, Socks5WithoutAuthentication) {
    SocksHandshake socks(SocksLevel::Socks5, "127.0.0.1", 2121, "", "");
    EXPECT_EQ(socks.Start(), Bytes({5, 1, 0}));
    auto step = socks.Feed(Bytes({5, 0}));
    EXPECT_EQ(step.send, Bytes({5, 1, 0, 1, 127, 0, 0, 1, 0x08, 0x49}));
    step = socks.Feed(Bytes({5, 0, 0, 1, 127, 0, 0}));
    EXPECT_EQ(step.consumed, 0);
    step = socks.Feed(Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 21}));
    EXPECT_EQ(step.consumed, 10);
    EXPECT_TRUE(step.done);
}

TEST(SocksHandshake, Socks5WithPasswordAndDomainReply) {
    SocksHandshake socks(SocksLevel::Socks5, "host.test", 21, "bob", "pw");
    EXPECT_EQ(socks.Start(), Bytes({5, 2, 0, 2}));
    auto step = socks.Feed(Bytes({5, 2}));
    EXPECT_EQ(step.send, Bytes({1, 3, 'b', 'o', 'b', 2, 'p', 'w'}));
    step = socks.Feed(Bytes({1, 0}));
    EXPECT_EQ(step.send,
              Bytes({5, 1, 0, 3, 9, 'h', 'o', 's', 't', '.', 't', 'e', 's', 't', 0, 21}));
    step = socks.Feed(Bytes({5, 0, 0, 3, 2, 'a', 'b', 0, 21}));
    EXPECT_EQ(step.consumed, 9);
    EXPECT_TRUE(step.done);
}

TEST(SocksHandshake, Socks5Failures) {
    struct Case {
        const char* name;
        QString user;
        std::vector<QByteArray> replies;
    };
    const std::vector<Case> cases = {
        {"no acceptable method", "", {Bytes({5, 0xff})}},
        {"password method without a user", "", {Bytes({5, 2})}},
        {"wrong version", "", {Bytes({4, 0})}},
        {"authentication refused", "bob", {Bytes({5, 2}), Bytes({1, 1})}},
        {"connect refused", "", {Bytes({5, 0}), Bytes({5, 5, 0, 1, 0, 0, 0, 0, 0, 0})}},
        {"bad address type", "", {Bytes({5, 0}), Bytes({5, 0, 0, 9, 0})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SocksHandshake socks(SocksLevel::Socks5, "127.0.0.1", 21, c.user, "pw");
        socks.Start();
        SocksHandshake::Step step;
        for (const QByteArray& reply : c.replies) {
            step = socks.Feed(reply);
        }
        EXPECT_FALSE(step.done);
        EXPECT_FALSE(step.error.isEmpty());
    }
}

TEST(SocksHandshake, HttpConnectRequestAndAnswers) {
    SocksHandshake plain(SocksLevel::HttpConnect, "sftp.example.org", 22, "", "");
    EXPECT_EQ(plain.Start(),
              "CONNECT sftp.example.org:22 HTTP/1.1\r\nHost: sftp.example.org:22\r\n\r\n");
    SocksHandshake v6(SocksLevel::HttpConnect, "::1", 2222, "ann", "pw");
    EXPECT_EQ(v6.Start(),
              "CONNECT [::1]:2222 HTTP/1.1\r\nHost: [::1]:2222\r\n"
              "Proxy-Authorization: Basic YW5uOnB3\r\n\r\n");

    struct Case {
        const char* name;
        QByteArray answer;
        qsizetype consumed;
        bool done;
        bool error;
    };
    const QByteArray established = "HTTP/1.0 200 Connection established\r\nProxy-agent: t\r\n\r\n";
    const Case cases[] = {
        {"established, tunnel bytes left alone", established + "SSH-2.0-x\r\n", established.size(),
         true, false},
        {"headers not complete yet", "HTTP/1.1 200 OK\r\nVia: x\r\n", 0, false, false},
        {"refused", "HTTP/1.1 403 Forbidden\r\n\r\n", 26, false, true},
        {"authentication wanted", "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n", 46, false,
         true},
        {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", 19, false, true},
        {"endless headers", "HTTP/1.1 200 OK\r\n" + QByteArray(SocksHandshake::kMaxHttpReply, 'x'),
         17 + SocksHandshake::kMaxHttpReply, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SocksHandshake http(SocksLevel::HttpConnect, "h", 22, "", "");
        http.Start();
        const auto step = http.Feed(c.answer);
        EXPECT_EQ(step.consumed, c.consumed);
        EXPECT_EQ(step.done, c.done);
        EXPECT_EQ(!step.error.isEmpty(), c.error);
    }
}
