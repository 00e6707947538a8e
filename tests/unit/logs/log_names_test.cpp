// Daily log file names: prefix and suffix, the processable form and the month of a download.
#include <gtest/gtest.h>

#include "logs/log_names.h"
#include "support/test_support.h"

namespace {

struct NameRow {
    const char* name;
    const char* prefix;
    const char* suffix;
    bool dated;
};

TEST(LogNames, PrefixSuffixAndDatedForm) {
    const NameRow rows[] = {
        {"stats.20051130", "stats", "20051130", true},
        {"access.log.20051130", "access.log", "20051130", true},
        {"www.20051201", "www", "20051201", true},
        {".20051130", "", "20051130", true},
        {"20051130", "", "20051130", false},  // no "." at all
        {"stats", "", "stats", false},
        {"stats.", "stats", "", false},
        {"stats.20051130.gz", "stats.20051130", "gz", false},
        {"stats.2005113", "stats", "2005113", false},
        {"stats.200511301", "stats", "200511301", false},
        {"stats.2005113a", "stats", "2005113a", false},
        {"stats.\xef\xbc\x92\xef\xbc\x90\xef\xbc\x90\xef\xbc\x95\xef\xbc\x91\xef\xbc\x91\xef\xbc"
         "\x93\xef\xbc\x90",
         "stats",
         "\xef\xbc\x92\xef\xbc\x90\xef\xbc\x90\xef\xbc\x95\xef\xbc\x91\xef\xbc\x91\xef\xbc"
         "\x93\xef\xbc\x90",
         false},  // full-width digits are no date
        {"", "", "", false},
    };
    for (const NameRow& row : rows) {
        const QString name = QString::fromUtf8(row.name);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(LogfilePrefix(name), QString::fromUtf8(row.prefix));
        EXPECT_EQ(LogfileSuffix(name), QString::fromUtf8(row.suffix));
        EXPECT_EQ(IsDatedLogName(name), row.dated);
    }
}

TEST(LogNames, LogMonth) {
    const std::pair<const char*, const char*> rows[] = {
        {"stats.20051130", "200511"},
        {"stats.20051130.gz", "200511"},
        {"STATS.20051130.GZ", "200511"},
        {"stats.051130", "200511"},
        {"stats.051130.gz", "200511"},
        {"stats.991231", "199912"},  // a two-digit year of 9x is 199x
        {"stats.891231", "208912"},  // any other is 20xx
        {"access.log.20060101", "200601"},
        {"my.gzlog.20051130", "200511"},  // ".gz" inside the prefix
        {"stats.2005113x", "200511"},     // only the month's six characters count
        {"stats", "0"},
        {"stats.gz", "0"},
        {".gz", "0"},
        {"", "0"},
        {".", "0"},
        {"stats.2005113", "0"},
        {"stats.200511301", "0"},
        {"stats.abcdefgh", "0"},
        {"stats.9x1130", "0"},
        {"stats.20051130.bak", "0"},
        {"stats.20051130.gz.part", "0"},
    };
    for (const auto& [name, month] : rows) {
        EXPECT_EQ(LogMonth(QString::fromUtf8(name)), QString::fromUtf8(month)) << name;
    }
}

TEST(LogNames, BaseNameWithoutGz) {
    EXPECT_EQ(LogBaseName("stats.20051130.gz"), "stats.20051130");
    EXPECT_EQ(LogBaseName("stats.20051130.GZ"), "stats.20051130");
    EXPECT_EQ(LogBaseName("stats.20051130"), "stats.20051130");
    EXPECT_EQ(LogBaseName(".gz"), "");
}

}  // namespace
