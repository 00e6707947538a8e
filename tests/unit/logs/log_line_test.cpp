// One access-log line into a hit, the URL rules and the spreadsheet-safe CSV field.
#include <gtest/gtest.h>

#include "config/words.h"
#include "logs/log_run.h"
#include "support/test_support.h"

namespace {

const QByteArray kPlain =
    "127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] \"GET /Apache_PB.gif HTTP/1.0\" 200 2326 "
    "\"http://www.Example.com/start.html\" \"Mozilla/4.08 [en] (Win98; I ;Nav)\"";

struct LineRow {
    const char* what;
    QByteArray line;
    LogHit hit;
};

TEST(LogLine, CombinedForms) {
    const LineRow rows[] = {
        {"plain",
         kPlain,
         {"10/Oct/2000", "13:55:36", "/apache_pb.gif", "2326", "http://www.example.com/start.html",
          "Mozilla/4.08 [en] (Win98; I ;Nav)", "127.0.0.1"}},
        {"IPv6 address, no size, no referrer",
         "2001:db8::1 - - [01/Nov/2005:00:00:01 +0000] \"GET /index.html HTTP/1.1\" 304 - \"-\" "
         "\"curl/7.88.1\"",
         {"01/Nov/2005", "00:00:01", "/index.html", "-", "-", "curl/7.88.1", "2001:db8::1"}},
        {"escaped quotes in the browser",
         "10.0.0.2 - - [01/Nov/2005:10:00:00 +0000] \"GET / HTTP/1.1\" 200 5 \"-\" "
         "\"Mozilla/5.0 (compatible; \\\"Bot\\\" 1.0)\"",
         {"01/Nov/2005", "10:00:00", "/", "5", "-", "Mozilla/5.0 (compatible; \\\"Bot\\\" 1.0)",
          "10.0.0.2"}},
        {"bare quotes in the browser",
         "10.0.0.2 - - [01/Nov/2005:10:00:00 +0000] \"GET / HTTP/1.1\" 200 5 \"-\" "
         "\"Tool \"X\" 2, beta\"",
         {"01/Nov/2005", "10:00:00", "/", "5", "-", "Tool \"X\" 2, beta", "10.0.0.2"}},
        {"query string, referrer of several words, escaped quote in it",
         "10.0.0.3 - - [02/Nov/2005:08:30:00 +0100] \"GET /Search.php?Q=A,B HTTP/1.1\" 200 77 "
         "\"http://Ref.example/?q=\\\"x\\\" more\" \"UA\"",
         {"02/Nov/2005", "08:30:00", "/search.php?q=a,b", "77", "http://ref.example/?q=\\\"x\\\"",
          "UA", "10.0.0.3"}},
        {"absolute URL of a proxy request",
         "10.0.0.4 - - [02/Nov/2005:08:30:00 +0100] \"GET http://Other.Example.org/x HTTP/1.1\" "
         "404 0 \"-\" \"UA\"",
         {"02/Nov/2005", "08:30:00", "http://other.example.org/x", "0", "-", "UA", "10.0.0.4"}},
        {"quote inside the request, not followed by a blank",
         "10.0.0.5 - - [02/Nov/2005:08:30:00 +0100] \"GET /a\"b HTTP/1.1\" 400 12 \"-\" \"UA\"",
         {"02/Nov/2005", "08:30:00", "/a\"b", "12", "-", "UA", "10.0.0.5"}},
        {"request of one word",
         "10.0.0.6 - - [02/Nov/2005:08:30:00 +0100] \"-\" 408 0 \"-\" \"-\"",
         {"02/Nov/2005", "08:30:00", "", "0", "-", "-", "10.0.0.6"}},
        {"CR LF line end, TABs between words, blanks before the address",
         "  10.0.0.7\t-\t- [02/Nov/2005:08:30:00 +0100]\t\"GET\t/t.html HTTP/1.1\" 200\t9 \"-\" "
         "\"UA\"\r\n",
         {"02/Nov/2005", "08:30:00", "/t.html", "9", "-", "UA", "10.0.0.7"}},
        {"NUL padding left by a crash",
         QByteArray(5, '\0') + kPlain,
         {"10/Oct/2000", "13:55:36", "/apache_pb.gif", "2326", "http://www.example.com/start.html",
          "Mozilla/4.08 [en] (Win98; I ;Nav)", "127.0.0.1"}},
        {"UTF-8: characters, not bytes, in the time stamp; URL lower-cased",
         "10.0.0.8 - - [01/D\xc3\xa9"
         "c/2005:10:00:00 +0100] \"GET /\xc3\x84rger.html HTTP/1.1\" 200 1 \"-\" \"\xe2\x82\xac\"",
         {"01/D\xc3\xa9"
          "c/2005",
          "10:00:00", "/\xc3\xa4rger.html", "1", "-", "\xe2\x82\xac", "10.0.0.8"}},
        {"bytes that are not UTF-8 read as Latin-1",
         "10.0.0.9 - - [01/Nov/2005:10:00:00 +0100] \"GET /caf\xe9 HTTP/1.1\" 200 1 \"-\" "
         "\"\xc9t\xe9\"",
         {"01/Nov/2005", "10:00:00", "/caf\xc3\xa9", "1", "-", "\xc3\x89t\xc3\xa9", "10.0.0.9"}},
    };
    for (const LineRow& row : rows) {
        SCOPED_TRACE(row.what);
        const std::optional<LogHit> hit = ParseLogLine(row.line);
        ASSERT_TRUE(hit.has_value());
        EXPECT_EQ(hit->date, row.hit.date);
        EXPECT_EQ(hit->time, row.hit.time);
        EXPECT_EQ(hit->url, row.hit.url);
        EXPECT_EQ(hit->size, row.hit.size);
        EXPECT_EQ(hit->referrer, row.hit.referrer);
        EXPECT_EQ(hit->browser, row.hit.browser);
        EXPECT_EQ(hit->address, row.hit.address);
    }
}

TEST(LogLine, LinesThatDoNotFit) {
    const std::pair<const char*, QByteArray> rows[] = {
        {"empty", ""},
        {"words only", "just some words"},
        {"no brackets", "1.2.3.4 - - 10/Oct/2000:13:55:36 \"GET / HTTP/1.0\" 200 1 \"-\" \"UA\""},
        {"] before [",
         "1.2.3.4 ] [10/Oct/2000:13:55:36 -0700] \"GET / HTTP/1.0\" 200 1 \"-\" \"U\""},
        {"time stamp too short",
         "1.2.3.4 - - [10/Oct/2000 13:55] \"GET / HTTP/1.0\" 200 1 \"-\" \"U\""},
        {"no quotes", "1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] GET / HTTP/1.0 200 1 - UA"},
        {"request not closed before a blank",
         "1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] \"GET / HTTP/1.0\""},
        {"common layout: no referrer or browser",
         "1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] \"GET / HTTP/1.0\" 200 1"},
        {"no size", "1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] \"GET / HTTP/1.0\" 200 \"-\" \"UA\""},
        {"no browser", "1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] \"GET / HTTP/1.0\" 200 1 \"-\""},
        {"browser not closed",
         "1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] \"GET / HTTP/1.0\" 200 1 \"-\" \"UA"},
    };
    for (const auto& [what, line] : rows) {
        EXPECT_FALSE(ParseLogLine(line).has_value()) << what;
    }
}

TEST(LogLine, CutLinesAndLargeOnes) {
    // Every line cut short of its last quote is no hit.
    for (qsizetype size = 0; size < kPlain.size(); ++size) {
        EXPECT_FALSE(ParseLogLine(kPlain.left(size)).has_value()) << size;
    }
    const QByteArray browser(1000 * 1000, 'A');
    const std::optional<LogHit> hit =
        ParseLogLine("1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] \"GET / HTTP/1.0\" 200 1 \"-\" \"" +
                     browser + "\"");
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->browser.size(), browser.size());
    // Bytes of every value in every place, a megabyte of them, only must not crash.
    QByteArray noise;
    noise.reserve(1024 * 1024);
    for (unsigned i = 0; i < 1024 * 1024; ++i) {
        noise += char((i * 7919u) % 256u);
    }
    (void)ParseLogLine(noise);
    (void)ParseLogLine(QByteArray(1024 * 1024, '"'));
    (void)ParseLogLine(QByteArray(1024 * 1024, '['));
}

TEST(LogUrl, ProtocolPrefix) {
    EXPECT_EQ(ProtocolPrefix("logs"), "http://");
    EXPECT_EQ(ProtocolPrefix(""), "http://");
    EXPECT_EQ(ProtocolPrefix("ssl_logs"), "https://");
    EXPECT_EQ(ProtocolPrefix("logs/SSL"), "https://");
}

TEST(LogUrl, Completion) {
    struct Row {
        const char* protocol;
        const char* domain;
        const char* url;
        const char* full;  // nullptr: skipped
    };
    const Row rows[] = {
        {"http://", "example.com", "/index.html", "http://example.com/index.html"},
        {"https://", "example.com", "/index.html", "https://example.com/index.html"},
        {"http://", "example.com", "/", "http://example.com/"},
        {"http://", "www.example.com", "/a", "http://example.com/a"},
        {"http://", "example.com", "www.example.com/a", "http://example.com/a"},
        {"http://", "example.com", "http://www.example.com/a", "http://example.com/a"},
        {"https://", "example.com", "https://www.example.com/a", "https://example.com/a"},
        {"http://", "example.com", "example.com/a", "http://example.com/a"},
        {"http://", "example.com", "http://other.org/x", "http://other.org/x"},
        {"http://", "example.com", "/search.php?q=x", "http://example.com/search.php"},
        {"http://", "localhost", "/cgi?x=1", "http://localhost/cgi?x=1"},  // no "." before "?"
        {"http://", "example.com", "www.example.com/r?u=http://x.org", "http://example.com/r"},
        {"http://", "example.com", "ab", "http://ab"},
        {"http://", "example.com", "", nullptr},
        {"http://", "example.com", "*", nullptr},
        {"http://", "example.com", "\xc3\xa9", nullptr},  // one character of two bytes
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.protocol) + " " + row.url);
        const std::optional<QString> full =
            CompleteUrl(QString::fromUtf8(row.url), QString::fromUtf8(row.protocol), row.domain);
        if (row.full == nullptr) {
            EXPECT_FALSE(full.has_value());
        } else {
            ASSERT_TRUE(full.has_value());
            EXPECT_EQ(*full, QString::fromUtf8(row.full));
        }
    }
}

TEST(LogUrl, FileType) {
    EXPECT_EQ(LogFileType("http://example.com/a.GIF"), "gif");
    EXPECT_EQ(LogFileType("http://example.com/a.tar.gz"), "gz");
    EXPECT_EQ(LogFileType("http://example.com/a."), "");
    EXPECT_EQ(LogFileType("http://localhost/a"), "");
    EXPECT_EQ(LogFileType("http://example.com/dir/"), "com/dir/");
}

TEST(LogCsv, SafeFieldGuardsFormulas) {
    const std::pair<const char*, const char*> rows[] = {
        {"=1+1", "\"'=1+1\""},
        {"+41 22", "\"'+41 22\""},
        {"-1", "\"'-1\""},
        {"@SUM(A1:A9)", "\"'@SUM(A1:A9)\""},
        {"\tx", "\"'\tx\""},
        {"\rx", "\"'\rx\""},
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"a\rb", "\"a\rb\""},  // a line break inside stays inside the field
        {"0123456789abcdef\n", "\"0123456789abcdef\n\""},
        {"-", "-"},
        {" =1", " =1"},
        {"a=b", "a=b"},
    };
    for (const auto& [text, field] : rows) {
        EXPECT_EQ(SafeCsvField(QString::fromUtf8(text)), QString::fromUtf8(field)) << text;
    }
}

TEST(LogCsv, SafeFieldIsCsvmodOtherwise) {
    for (const char* text : {"plain", "a,b", "x\"y", "", "\"", ",", "http://e.com/?a=1,2",
                             "Mozilla/5.0 (X11; Linux)", "Mozilla/5.0 (KHTML, like Gecko)",
                             "abcdefghi\"jklmnopq", "0123456789abcdef,", "\xe2\x82\xac"}) {
        EXPECT_EQ(SafeCsvField(QString::fromUtf8(text)), CSVmod(QString::fromUtf8(text))) << text;
    }
}

TEST(LogSummary, TypeList) {
    EXPECT_EQ(SummaryTypeList("GIF/jpg"), QStringList({"gif", "jpg"}));
    EXPECT_EQ(SummaryTypeList("gif//jpg/"), QStringList({"gif", "jpg"}));
    EXPECT_EQ(SummaryTypeList(" png / css "), QStringList({"png", "css"}));
    EXPECT_EQ(SummaryTypeList(""), QStringList());
    QStringList many;
    for (int i = 0; i < kMaxSummaryTypes + 5; ++i) {
        many.append("t" + QString::number(i));
    }
    const QStringList types = SummaryTypeList(many.join('/'));
    ASSERT_EQ(types.size(), kMaxSummaryTypes);
    EXPECT_EQ(types.last(), "t999");
}

}  // namespace
