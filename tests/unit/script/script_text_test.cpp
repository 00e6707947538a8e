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
