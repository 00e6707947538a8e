// What the filter box above a list lets through.
#include <gtest/gtest.h>

#include "ui/model/name_filter.h"

TEST(NameFilter, PartsWildcardsCaseAndHiddenNames) {
    struct Case {
        const char* filter;
        bool showHidden;
        const char* name;
        bool shown;
    };
    const Case cases[] = {
        {"", true, "index.html", true},
        {"IND", true, "index.html", true},  // any part, letter case ignored
        {"dex.h", true, "index.html", true},
        {"xyz", true, "index.html", false},
        {"*.HTML", true, "index.html", true},  // wildcards match the whole name
        {"*.htm", true, "index.html", false},
        {"in?ex.*", true, "index.html", true},
        {"[a].txt", true, "[a].txt", true},  // brackets are characters of a name
        {"[a].txt", true, "a.txt", false},
        {"a+b", true, "a+b.txt", true},  // neither are other regex characters
        {"", false, ".htaccess", false},
        {"", true, ".htaccess", true},
        {"*", false, ".profile", false},
        {"xyz", false, "..", true},  // the way up is always there
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.filter) + " / " + c.name);
        NameFilter f;
        f.Set(c.filter, c.showHidden);
        EXPECT_EQ(f.Accepts(c.name), c.shown);
    }
    NameFilter f;
    f.Set("  ", true);
    EXPECT_FALSE(f.Active());
}
