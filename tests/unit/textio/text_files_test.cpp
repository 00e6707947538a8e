#include <gtest/gtest.h>

#include "app/scripted_user_interface.h"
#include "support/test_support.h"
#include "textio/text_files.h"

namespace {

struct Layer {
    TestFolder dir;
    ScriptedUserInterface ui;
    TextFiles files{ui};

    // Every record of Content, read as the callers do: EOF asked before each GET.
    QStringList Records(const QByteArray& content) {
        const QString path = dir.Write("in.txt", content);
        EXPECT_TRUE(files.TextFileIn(path, "OPEN"));
        QStringList records;
        while (!files.TextFileIn(path, "EOF") && records.size() < 100) {
            EXPECT_TRUE(files.TextFileIn(path, "GET"));
            records << files.InRecord;
        }
        EXPECT_TRUE(files.TextFileIn(path, "CLOSE"));
        return records;
    }
};

}  // namespace

TEST(TextFileIn, RecordsFromEveryKindOfLineEnd) {
    // 1000 bytes, then 514 more: the chunk of 1514 ends on the second line's last byte.
    const QByteArray first = QByteArray(999, 'x') + "\n";
    const QByteArray a(513, 'a');
    const QByteArray k(1000, 'k');
    struct Case {
        const char* name;
        QByteArray content;
        QStringList records;
    } const cases[] = {
        {"CR LF", "one\r\ntwo\r\n", {"one", "two"}},
        {"LF", "one\ntwo\n", {"one", "two"}},
        {"CR", "one\rtwo\r", {"one", "two"}},
        {"no final line end", "one\ntwo", {"one", "two"}},
        {"last line of one character", "one\nx", {"one", "x"}},
        {"empty lines", "\n\nx\n", {"", "", "x"}},
        {"CR ends a chunk, LF starts the next",
         first + a + "\r\nb\n",
         {QString(999, 'x'), QString(a), "b"}},
        {"chunk ends exactly at the end", first + a + "\n", {QString(999, 'x'), QString(a)}},
        {"2500 characters",
         QByteArray(2500, 'z'),
         {QString(1000, 'z'), QString(1000, 'z'), QString(500, 'z')}},
        {"exactly 1000 then a line end", k + "\nnext\n", {QString(k), "", "next"}},
        {"zero bytes", QByteArray("a\0b\n", 4), {"a b"}},
        {"empty file", "", {""}},
        {"a split never cuts a character",
         QByteArray(999, 'u') + "\xc3\xa9!",
         {QString(999, 'u'), QString::fromUtf8("\xc3\xa9!")}},
    };
    for (const Case& c : cases) {
        Layer layer;
        EXPECT_EQ(layer.Records(c.content), c.records) << c.name;
        EXPECT_TRUE(layer.ui.messages.isEmpty()) << c.name;
    }
}

TEST(TextFileOut, RecordsLineEndsAndTheLengthLimit) {
    Layer layer;
    const QString path = layer.dir.File("out.txt");
    ASSERT_TRUE(layer.files.TextFileOut(path, "open"));
    for (const QString& record : {QString("plain"), QString("ends in crlf\r\n"),
                                  QString("keeps a lone cr\r"), QString(2046, 'w')}) {
        layer.files.OutRecord = record;
        EXPECT_TRUE(layer.files.TextFileOut(path, "PUT"));
    }
    layer.files.OutRecord = QString(2047, 'w');
    EXPECT_FALSE(layer.files.TextFileOut(path, "PUT"));
    EXPECT_EQ(layer.ui.MessageTexts(),
              QStringList({"Attempt to write record longer than2046to " + path}));
    EXPECT_TRUE(layer.files.TextFileOut(path, "CLOSE"));
    EXPECT_EQ(layer.dir.Read("out.txt"),
              "plain\nends in crlf\nkeeps a lone cr\r\n" + QByteArray(2046, 'w') + "\n");
}

TEST(TextFiles, EveryMisuseIsReportedWithFileAndFunction) {
    Layer layer;
    const QString path = layer.dir.Write("a.txt", "x\n");
    const QString missing = layer.dir.File("missing.txt");
    auto expectReport = [&layer](bool result, const QString& start, const QString& name,
                                 const QString& function) {
        EXPECT_FALSE(result) << start.toStdString();
        ASSERT_FALSE(layer.ui.messages.isEmpty()) << start.toStdString();
        EXPECT_EQ(layer.ui.messages.last().text,
                  start + "\r\nFilename=" + name + ", Function=" + function);
        EXPECT_EQ(layer.ui.messages.last().type, MsgDlgType::Warning);
    };
    TextFiles& f = layer.files;
    expectReport(f.TextFileOut("relative.txt", "OPEN"),
                 "Call to TextFileOut with invalid filename (\":\" not 2nd character):",
                 "relative.txt", "OPEN");
    expectReport(f.TextFileIn("relative.txt", "OPEN"),
                 "Call to TextFileIn with invalid filename (\":\" not 2nd character):",
                 "relative.txt", "OPEN");
    expectReport(f.TextFileIn("x", "OPEN"),  // one character: on to the existence check
                 "Call to TextFileIn to open file that does not exist:", "x", "OPEN");
    expectReport(f.TextFileIn(missing, "OPEN"),
                 "Call to TextFileIn to open file that does not exist:", missing, "OPEN");
    expectReport(f.TextFileOut(path, "PUT"),
                 "Call to TextFileOut to write to a file which is not open:", path, "PUT");
    expectReport(f.TextFileOut(path, "CLOSE"),
                 "Call to TextFileOut to close a file which is not open:", path, "CLOSE");
    expectReport(f.TextFileIn(path, "GET"),
                 "Call to TextFileIn to read a file which is not open:", path, "GET");
    expectReport(f.TextFileIn(path, "CLOSE"),
                 "Call to TextFileIn to close a file which is not open:", path, "CLOSE");
    expectReport(f.TextFileOut(path, "GET"), "Call to TextFileOut with invalid function:", path,
                 "GET");
    expectReport(f.TextFileIn(path, "PUT"), "Call to TextFileIn with invalid function:", path,
                 "PUT");
    ASSERT_TRUE(f.TextFileIn(path, "OPEN"));
    ASSERT_TRUE(f.TextFileOut(path + ".out", "OPEN"));  // the same name once each way is fine
    expectReport(f.TextFileIn(path, "OPEN"),
                 "Call to TextFileIn to open file which is already open:", path, "OPEN");
    expectReport(f.TextFileOut(path + ".out", "Open"),
                 "Call to TextFileOut to open file which is already open:", path + ".out", "Open");

    // Five open for reading: a sixth is refused, the others stay usable.
    QStringList names;
    for (int i = 0; i < 4; ++i) {
        names << layer.dir.Write(QString("r%1.txt").arg(i), "r\n");
        ASSERT_TRUE(f.TextFileIn(names.last(), "OPEN"));
    }
    const QString sixth = layer.dir.Write("sixth.txt", "s\n");
    expectReport(f.TextFileIn(sixth, "OPEN"),
                 "Call to TextFileIn but all FileStreams already in use:", sixth, "OPEN");
    EXPECT_TRUE(f.TextFileIn(names.first(), "GET"));
    EXPECT_EQ(f.InRecord, "r");
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(f.TextFileOut(layer.dir.File(QString("w%1.txt").arg(i)), "OPEN"));
    }
    expectReport(f.TextFileOut(layer.dir.File("w5.txt"), "OPEN"),
                 "Call to TextFileOut but all FileStreams already in use:",
                 layer.dir.File("w5.txt"), "OPEN");
}

TEST(FileCopy, CopiesRecordByRecordAndReportsAMissingSource) {
    Layer layer;
    const QString source = layer.dir.Write("three.txt", "one\r\ntwo\rthree");
    const QString target = layer.dir.File("copy.txt");
    layer.files.FileCopy(source, target);
    EXPECT_EQ(layer.dir.Read("copy.txt"), "one\ntwo\nthree\n");
    EXPECT_TRUE(layer.ui.messages.isEmpty());

    layer.files.FileCopy(layer.dir.File("none.txt"), target);
    const QStringList shown = layer.ui.MessageTexts();
    ASSERT_GE(shown.size(), 3);
    EXPECT_TRUE(shown.contains("Error opening input file" + layer.dir.File("none.txt")));
    EXPECT_TRUE(shown.contains("Error closing input file" + layer.dir.File("none.txt")));
    EXPECT_TRUE(shown.contains("Error closing output file" + target));
}
