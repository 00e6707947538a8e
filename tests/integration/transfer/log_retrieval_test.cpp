// Web-log retrieval against vsftpd and sshd: dated, undated, empty and gzip-compressed logs
// (made with the real gzip) into month folders, with and without the alternate folder and
// deletion after download.
#include "logs/log_retrieval.h"
#include "transfer_program.h"

namespace {

const QString kLeaveQuestion = "Do you want to leave the downloaded logfiles on the server";

class LogRetrievalRun : public Transfer {
protected:
    void SetUp() override {
        Transfer::SetUp();
        if (IsSkipped()) {
            return;
        }
        p = std::make_unique<Program>(GetParam().sftp);
        SiteProfile& site = p->core.settings.site;
        site.localLogdir = m_logs.Path();
        site.remLogdir = "www_logs";
        site.remLogdirAlt.clear();
        WriteFile(p->remote + "/www_logs/stats.20261130", m_november);
        WriteFile(p->remote + "/www_logs/stats.20261202", "");
        WriteFile(p->remote + "/www_logs/stats", "today, not a log yet\n");
        WriteGzip(p->remote + "/www_logs/stats.20261201.gz", m_december);
        p->Chown();
        ASSERT_TRUE(p->LogIn());
        p->session.homeDir = p->session.currentRemoteDir;
    }

    // A gzip file of Bytes made by the real gzip.
    static void WriteGzip(const QString& path, const QByteArray& bytes) {
        WriteFile(path.chopped(3), bytes);
        ASSERT_EQ(QProcess::execute("gzip", {"-f", path.chopped(3)}), 0);
    }
    bool Logged(const QString& line) const { return p->ui.logLines.contains(line); }
    bool Said(const QString& part) const {
        return std::any_of(p->ui.messages.begin(), p->ui.messages.end(),
                           [&](const auto& m) { return m.text.contains(part); });
    }
    QStringList RemoteLogs(const QString& dir = "www_logs") const {
        return QDir(p->remote + "/" + dir).entryList(QDir::Files, QDir::Name);
    }

    std::unique_ptr<Program> p;
    TestFolder m_logs;
    QByteArray m_november = RandomBytes(70000).toBase64();
    QByteArray m_december = QByteArray(
                                "1.2.3.4 - - [01/Dec/2026:10:00:00 +0000] \"GET / HTTP/1.1\" "
                                "200 5 \"-\" \"x\"\n")
                                .repeated(500);
};

}  // namespace

TEST_P(LogRetrievalRun, MonthFoldersDecompressedThenDeletedOnlyOnceSafelyHere) {
    p->ui.answersByText[kLeaveQuestion] = ModalResult::Yes;
    p->core.logRetrieval->GetLogs();
    EXPECT_EQ(ReadFile(m_logs.File("202611/stats.20261130")), m_november);
    EXPECT_EQ(ReadFile(m_logs.File("202612/stats.20261201")), m_december);
    EXPECT_FALSE(QFileInfo::exists(m_logs.File("202612/stats.20261201.gz")));
    EXPECT_FALSE(QFileInfo::exists(m_logs.File("202612/stats.20261202")));  // zero bytes
    EXPECT_TRUE(Logged("stats.20261202 not downloaded - zero bytes"));
    EXPECT_TRUE(Logged("3 logfile names obtained from remote dir " + p->remote + "/www_logs"));
    EXPECT_TRUE(Logged(" Log download processing has finished."));
    EXPECT_TRUE(Logged("   2 files downloaded"));
    EXPECT_TRUE(Logged("   0 files bypassed (already retrieved)"));
    EXPECT_TRUE(Logged("   1 files bypassed (file size zero)"));
    EXPECT_TRUE(Logged("   0 files deleted from server"));
    EXPECT_EQ(RemoteLogs().size(), 4);
    EXPECT_EQ(p->ui.enableCount, p->ui.disableCount);

    // Again, deleting: everything is already here, so it all leaves the server but the
    // undated log; a local copy cut short keeps its remote original.
    QFile cut(m_logs.File("202611/stats.20261130"));
    ASSERT_TRUE(cut.resize(1000));
    p->ui.logLines.clear();
    p->ui.answersByText[kLeaveQuestion] = ModalResult::No;
    p->core.logRetrieval->GetLogs();
    EXPECT_EQ(ReadFile(m_logs.File("202611/stats.20261130")), m_november);  // fetched again
    EXPECT_TRUE(Logged(" Bypassing download of log file previously downloaded: stats.20261201.gz"));
    EXPECT_TRUE(Logged("   1 files downloaded"));
    EXPECT_TRUE(Logged("   1 files bypassed (already retrieved)"));
    EXPECT_TRUE(Logged("   3 files deleted from server"));
    EXPECT_EQ(RemoteLogs(), QStringList{"stats"});
}

TEST_P(LogRetrievalRun, AlternateFolderCorruptGzipAndMissingFolders) {
    p->core.settings.site.remLogdirAlt = "ssl_logs";
    WriteFile(p->remote + "/ssl_logs/stats.20261203", "secure\n");
    WriteFile(p->remote + "/ssl_logs/broken.20261204.gz", "this is not gzip data");
    WriteGzip(p->remote + "/ssl_logs/good.20261205.gz", "fine\n");
    p->Chown();
    p->ui.answersByText[kLeaveQuestion] = ModalResult::Yes;
    p->core.logRetrieval->GetLogs();
    EXPECT_EQ(ReadFile(m_logs.File("202612/Alt/stats.20261203")), "secure\n");
    EXPECT_EQ(ReadFile(m_logs.File("202612/Alt/good.20261205")), "fine\n");
    // gzip's complaint is logged and the damaged file stays as it came.
    EXPECT_TRUE(QFileInfo::exists(m_logs.File("202612/Alt/broken.20261204.gz")));
    EXPECT_TRUE(std::any_of(p->ui.logLines.begin(), p->ui.logLines.end(),
                            [](const QString& l) { return l.contains("broken.20261204.gz"); }));
    EXPECT_TRUE(Logged("   2 standard directory files downloaded"));
    EXPECT_TRUE(Logged("   3 alt directory files downloaded"));
    EXPECT_TRUE(Logged("   0 alt directory files deleted from server"));

    // A folder with only today's undated log, and one that does not exist.
    QDir(p->remote + "/www_logs").removeRecursively();
    WriteFile(p->remote + "/www_logs/stats", "x\n");
    p->Chown();
    p->core.settings.site.remLogdirAlt = "missing_logs";
    p->core.logRetrieval->GetLogs();
    EXPECT_TRUE(Said("No logfiles were obtained from remote directory " + p->remote + "/www_logs"));
    EXPECT_TRUE(
        Said("Error - problem accessing remote log directory " + p->remote + "/missing_logs"));
}

TEST_P(LogRetrievalRun, WithoutGzipTheLogsStayCompressed) {
    p->core.settings.common.gzipPath = "/nonexistent/gzip";
    p->ui.answersByText[kLeaveQuestion] = ModalResult::Yes;
    p->ui.answersByText["decompression not available - continue anyway?"] = ModalResult::Yes;
    p->core.logRetrieval->GetLogs();
    EXPECT_TRUE(QFileInfo::exists(m_logs.File("202612/stats.20261201.gz")));
    EXPECT_TRUE(
        Said("No valid path to gzip.exe specified in options - decompression will not be "
             "attempted."));
}

INSTANTIATE_TEST_SUITE_P(Kinds, LogRetrievalRun,
                         ::testing::Values(Kind{"Ftp", false}, Kind{"Sftp", true}),
                         [](const auto& info) { return std::string(info.param.name); });
