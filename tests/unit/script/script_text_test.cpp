#include <gtest/gtest.h>

#include "script/script_text.h"

TEST(ReplaceInRec, EveryOccurrenceInAnyCase) {
    struct Case {
        const char* text;
        const char* value;
        const char* symbol;
        const char* result;
    } const cases[] = {
        {"backup-?DD.tar", "09", "?DD", "backup-09.tar"},
        {"?dd and ?Dd", "31", "?DD", "31 and 31"},
        {"nothing here", "x", "?DD", "nothing here"},
        {"?X?X", "?x?x", "?X", "?x?x?x?x"},  // a value holding the symbol is not replaced again
        {"", "v", "?S", ""},
        {"keep", "v", "", "keep"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReplaceInRec(c.text, c.value, c.symbol), c.result) << c.text;
    }
}

TEST(TimeSymbols, FixedFromTheRunsStart) {
    const QDateTime start(QDate(2026, 3, 7), QTime(8, 5, 9, 42));  // a Saturday
    EXPECT_EQ(ApplyTimeSymbols("GET log-?YYYY-?MM-?DD.gz", start), "GET log-2026-03-07.gz");
    EXPECT_EQ(ApplyTimeSymbols("PUT x ?hh?mi?ss.?ttt", start), "PUT x 080509.042");
    EXPECT_EQ(ApplyTimeSymbols("IF DAY-OF-WEEK<?DAY-OF-WEEK>", start), "IF DAY-OF-WEEK<Saturday>");
    EXPECT_EQ(ApplyTimeSymbols("?day-of-week", QDateTime(QDate(2026, 3, 8), QTime(0, 0))),
              "Sunday");
}

TEST(MatchStarPattern, WholeNameMatchesOnly) {
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    } const cases[] = {
        {"a.txt", "*", true},
        {"", "*", true},
        {"a.txt", "*.txt", true},
        {"a.txt.bak", "*.txt", false},  // never more than asked
        {"x.log.gz", "*.log", false},
        {"abc", "abc*", true},
        {"xabcx", "abc*", false},
        {"a", "a*b", false},
        {"ab", "a*b", true},
        {"aXbYb", "a*b", true},
        {"A.TXT", "*.txt", false},  // case-sensitive, as local names are here
        {"old-1.tmp", "old-*.tmp", true},
        {"index.html", "index.html", true},
        {"index.htm", "index.html", false},
        {"aaa", "a**a", true},
        {"mississippi", "*sip*i", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchStarPattern(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
    }
}

TEST(Schedule, IntervalAndDailyTimeFromTheirTexts) {
    const std::pair<const char*, int> intervals[] = {
        {"02:30", 150}, {"45", 45},  {"0", 1440},   {"", 1440},
        {"2:", 120},    {":15", 15}, {"1h:5m", 65}, {"00:00", 1440},
    };
    for (const auto& [text, minutes] : intervals) {
        EXPECT_EQ(IntervalFromText(text), minutes) << text;
    }
    const std::tuple<const char*, int, int> times[] = {
        {"25:70", 0, 59}, {"07:05", 7, 5}, {"23:59", 23, 59}, {"1:2:3", 1, 2}, {"x9:y8", 9, 8},
    };
    for (const auto& [text, hour, minute] : times) {
        const DailyTime t = DailyTimeFromText(text);
        EXPECT_EQ(t.hour, hour) << text;
        EXPECT_EQ(t.minute, minute) << text;
    }
}

TEST(ValidateScript, GenericNamesLoginAndTheLastTimeLine) {
    const ScriptCheck refused = ValidateScript({"PUT /tmp/*.txt backup.txt"});
    EXPECT_TRUE(refused.error);
    ASSERT_EQ(refused.notices.size(), 1);
    EXPECT_TRUE(refused.notices[0].dialog);
    EXPECT_EQ(refused.notices[0].text,
              "Error on line 0 of script, for PUT 2nd generic filename should be \"*\" or same as "
              "1st generic filename");
    for (const char* fine : {"PUT /tmp/*.txt *", "PUT /tmp/*.txt *.txt", "GRAB *.log /tmp/*"}) {
        EXPECT_FALSE(ValidateScript({fine}).error) << fine;
    }
    // Lower-case commands need a login as they run; comments and local lines do not.
    EXPECT_TRUE(ValidateScript({"# x", "get readme.txt"}).needsLogin);
    EXPECT_TRUE(ValidateScript({"rem-mkdir new"}).needsLogin);
    EXPECT_TRUE(ValidateScript({"IF REM-FILE-EXISTS<a> BEGIN-X"}).needsLogin);
    EXPECT_FALSE(ValidateScript({"# GET x", "LOC-MKDIR a", "SLEEP 1"}).needsLogin);

    const ScriptCheck both = ValidateScript({"TIME-OF-RUN 25:70", "TIME-BETWEEN-RUNS 02:30"});
    EXPECT_FALSE(both.schedule.daily);
    EXPECT_EQ(both.schedule.intervalMinutes, 150);
    const ScriptCheck daily = ValidateScript({"TIME-BETWEEN-RUNS 5", "time-of-run 25:70"});
    EXPECT_TRUE(daily.schedule.daily);
    EXPECT_EQ(daily.schedule.time.hour, 0);
    EXPECT_EQ(daily.schedule.time.minute, 59);
    ASSERT_EQ(daily.notices.size(), 2);
    EXPECT_EQ(daily.notices[0].text, "Timer based actions run at 00:59");
    EXPECT_EQ(daily.notices[1].text, "... waiting");
}

TEST(ParseIf, KeywordArgumentNegationAndSection) {
    const IfStatement weekday = ParseIf("IF NOT DAY-OF-WEEK<Saturday,Sunday> BEGIN-Weekday");
    EXPECT_EQ(weekday.kind, IfStatement::Kind::DayOfWeek);
    EXPECT_TRUE(weekday.negate);
    EXPECT_EQ(weekday.argument, "Saturday,Sunday");
    EXPECT_TRUE(weekday.hasSection);
    EXPECT_EQ(weekday.endMarker, "END-WEEKDAY");

    // The remote name keeps its case (servers here are case-sensitive).
    const IfStatement remote = ParseIf("if rem-file-exists<Index.html> begin-x");
    EXPECT_EQ(remote.kind, IfStatement::Kind::RemoteFileExists);
    EXPECT_FALSE(remote.negate);
    EXPECT_EQ(remote.argument, "Index.html");
    EXPECT_EQ(remote.endMarker, "END-X");

    EXPECT_FALSE(ParseIf("IF LOC-FILE-EXISTS</tmp/x>").hasSection);
    EXPECT_EQ(ParseIf("IF LOC-FILE-EXISTS</tmp/x>").argument, "/tmp/x");
    EXPECT_EQ(ParseIf("IF BEGIN-X").endMarker, "END-X");
    for (const char* invalid :
         {"IF DAY-OF-WEEK<> BEGIN-X", "IF DAY-OF-WEEK<Monday", "IF X<y>", "IF"}) {
        EXPECT_EQ(ParseIf(invalid).kind, IfStatement::Kind::Invalid) << invalid;
    }
}

TEST(ProgramLines, ProgramParametersAndLocalPatterns) {
    const ProgramLine quoted = SplitProgramLine("\"/opt/my tools/zip\"  -r  out.zip site ");
    EXPECT_EQ(quoted.program, "/opt/my tools/zip");
    EXPECT_EQ(quoted.parameters, "-r  out.zip site");
    EXPECT_EQ(ProgramArguments(quoted.parameters), QStringList({"-r", "out.zip", "site"}));
    EXPECT_EQ(ProgramArguments("\"a b\" c"), QStringList({"a b", "c"}));
    const ProgramLine plain = SplitProgramLine("gzip");
    EXPECT_EQ(plain.program, "gzip");
    EXPECT_TRUE(plain.parameters.isEmpty());
    EXPECT_EQ(RestOfLine("  REM-CD   /my dir/x  "), "/my dir/x");

    const LocalPattern rooted = SplitLocalPattern("/var/www/*.html", "/home/me");
    EXPECT_EQ(rooted.dir, "/var/www/");
    EXPECT_EQ(rooted.name, "*.html");
    const LocalPattern bare = SplitLocalPattern("*.log", "/home/me");
    EXPECT_EQ(bare.dir, "/home/me/");
    EXPECT_EQ(bare.name, "*.log");
    EXPECT_EQ(SplitLocalPattern("sub/a.txt", "/home/me").dir, "/home/me/sub/");
    EXPECT_EQ(SplitLocalPattern("/x.txt", "/home/me").dir, "/");
}

TEST(EditorArguments, WaitSwitchesOfKnownEditors) {
    EXPECT_EQ(EditorArguments("/usr/bin/gedit", "/f.txt"), QStringList({"--wait", "/f.txt"}));
    EXPECT_EQ(EditorArguments("kate", "/f.txt"), QStringList({"--block", "/f.txt"}));
    EXPECT_EQ(EditorArguments("code", "/a b.txt"), QStringList({"--wait", "/a b.txt"}));
    EXPECT_EQ(EditorArguments("/usr/bin/vim", "/f.txt"), QStringList({"/f.txt"}));
}
