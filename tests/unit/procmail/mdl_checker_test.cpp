#include <gtest/gtest.h>

#include <ostream>

#include "procmail/recipe_generator.h"

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(5, 6, 7));

struct Outcome {
    QStringList recipe;
    bool completed;
    QList<RecipeMessage> messages;
};

Outcome Generate(const QString& text) {
    RecipeGenerator generator;
    QStringList lines = text.split('\n');
    if (lines.last().isEmpty()) {
        lines.removeLast();
    }
    Outcome run;
    run.recipe = generator.Generate(lines, kNow);
    run.completed = generator.Completed();
    run.messages = generator.Messages();
    return run;
}

QString Errors(const Outcome& run) {
    QStringList errors;
    for (const RecipeMessage& m : run.messages) {
        if (m.type == MsgDlgType::Error) {
            errors << m.text;
        }
    }
    return errors.join("\n--\n");
}

struct ErrorCase {
    const char* name;
    const char* mdl;  // "UNRESOLVED -> POP" is appended
    const char* error;
};

// Test names say which case failed; the case itself prints as its name.
void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

// Each checking error with a minimal text that triggers it.
const ErrorCase kErrorCases[] = {
    {"SymbolWordCount", "SYMBOL &A IS\n",
     "SYMBOL statement should contain 4 words, instead have:\r\nSYMBOL &&A IS"},
    {"SymbolIs", "SYMBOL &A EQ b\n",
     "SYMBOL statement 3rd word should be IS, instead have:\r\nSYMBOL &&A EQ b"},
    {"SymbolAmpersand", "SYMBOL A IS b\n",
     "SYMBOL statement 2nd word should begin with &, instead have:\r\nSYMBOL A IS b"},
    {"SymbolDomain", "SYMBOL &domain IS b\n",
     "SYMBOL statement should not redefine &&DOMAIN, instead have:\r\nSYMBOL &&domain IS b"},
    {"Formail", "FORMAIL MAYBE\n",
     "FORMAIL statement 2nd word should be ON or OFF, instead have:\r\nFORMAIL MAYBE"},
    {"AutoresponderWords", "AUTORESPONDER a KEEPBODY x\n",
     "AUTORESPONDER statement should have 3 words at most, instead have:\r\n"
     "AUTORESPONDER a KEEPBODY x"},
    {"AutoresponderKeepBody", "AUTORESPONDER a KEEP\n",
     "AUTORESPONDER statement 3rd word (if present) should be KEEPBODY, instead have:\r\n"
     "AUTORESPONDER a KEEP"},
    {"AutoresponderName", "AUTORESPONDER\n",
     "AUTORESPONDER statement needs Autoresponder name as 2nd word, instead have:\r\n"
     "AUTORESPONDER"},
    {"AutoresponderTwice", "AUTORESPONDER a\nAUTORESPONDER END\nAUTORESPONDER A\n",
     "ERROR: More than one Autoresponder uses the name A"},
    {"MailingListWords", "MAILINGLIST a b c\n",
     "MAILINGLIST statement should have 3 words at most, instead have:\r\nMAILINGLIST a b c"},
    {"MailingListUnfiltered", "MAILINGLIST a open\n",
     "MAILINGLIST statement 3rd word (if present) should be UNFILTERED, instead have:\r\n"
     "MAILINGLIST a open"},
    {"MailingListTwice", "MAILINGLIST a\nMAILINGLIST END\nMAILINGLIST a\n",
     "ERROR: More than one Mailinglist uses the name a"},
    {"RecordListWords", "RECORDLIST a b\n",
     "RECORDLIST statement should have 2 words at most, instead have:\r\nRECORDLIST a b"},
    {"RecordListTwice", "RECORDLIST a\nRECORDLIST END\nrecordlist A\n",
     "ERROR: More than one RecordList uses the name A"},
    {"DomainEndAlone", "DOMAIN END\n",
     "DOMAIN END statement present without a valid preceeding DOMAIN statement in effect"},
    {"DomainTwice", "DOMAIN a.com[.au]\nDOMAIN END\nDOMAIN A.com\n",
     "ERROR: More than one DOMAIN statement uses the name A.com"},
    {"DomainSuffixUnclosed", "DOMAIN a.com[.au\n",
     "DOMAIN statement suffixing error:\r\nDOMAIN a.com[.au"},
    {"DomainSuffixNoDot", "DOMAIN a.com[au]\n",
     "DOMAIN statement suffixing error:\r\nDOMAIN a.com[au]"},
    {"DomainSuffixShort", "DOMAIN a.com[.a]\n",
     "DOMAIN statement suffixing error:\r\nDOMAIN a.com[.a]"},
    {"DomainWords", "DOMAIN a.com ALL\n",
     "DOMAIN statement should have 2 or 5 words, instead have:\r\nDOMAIN a.com ALL"},
    {"DomainAllArrow", "DOMAIN a.com EVERY -> POP\n",
     "DOMAIN statement 3rd and 4th words should be \"ALL ->\", instead have:\r\n"
     "DOMAIN a.com EVERY -> POP"},
    {"DomainSimpleDestination", "DOMAIN a.com ALL -> nowhere\n",
     "Invalid DOMAIN statement on line 1:\r\nDOMAIN a.com ALL -> nowhere"},
    {"DomainUnequalIf", "DOMAIN a.com\nIF SIZE > 5 THEN BEGIN\nDOMAIN END\n",
     "DOMAIN a.com has an unequal number of IF and END statements"},
    {"DomainStrayEnd", "DOMAIN a.com\nEND\n",
     "DOMAIN a.com has an END statement which does not correspond to a preceding IF statement"},
    {"DomainEndWords", "DOMAIN a.com\nDOMAIN END NOW\n",
     "DOMAIN END statement found when not at end of defined domain"},
    {"Pop", "POP /var/mail/me me@a.com extra\n",
     "POP statement should only be followed by Unix filename of POP mailbox and/or normal "
     "email address associated with POP, instead have:\r\nPOP /var/mail/me me@a.com extra"},
    {"SpamDest", "SPAMDEST a@b.com c\n",
     "SPAMDEST statement should only be followed by Unix filename of POP mailbox or normal "
     "email address associated with SPAMDEST, instead have:\r\nSPAMDEST a@b.com c"},
    {"Logfile", "LOGFILE LOUD\n",
     "LOGFILE keyword should be followed by ON OFF or VERBOSE, instead have:\r\nLOGFILE LOUD"},
    {"UnknownKeyword", "\n# note\nFORWARD all\n",
     "Keyword FORWARD is invalid as used in line 3:\r\nFORWARD all"},
    {"InsertWithoutRecordList", "INSERT rl\n",
     "Keyword INSERT is invalid as used in line 1:\r\nINSERT rl"},
    {"InvalidInDomain", "DOMAIN a.com\njoe => POP\n",
     "Invalid statement in domain a.com on line 2:\r\njoe => POP"},
    {"InvalidDestination", "DOMAIN a.com\njoe -> nobody\n",
     "Invalid statement in domain a.com on line 2:\r\njoe -> nobody"},
    {"SizeNotDigits", "DOMAIN a.com\njoe -> POP SIZE > 10k\n",
     "Invalid statement in domain a.com on line 2:\r\njoe -> POP SIZE > 10k"},
    {"IfSizeNotDigits", "DOMAIN a.com\nIF SIZE > ten THEN BEGIN\n",
     "Invalid statement in domain a.com on line 2:\r\nIF SIZE > ten THEN BEGIN"},
    {"IfWithoutBegin", "DOMAIN a.com\nIF FROM a@b.com THEN\n",
     "Invalid statement in domain a.com on line 2:\r\nIF FROM a@b.com THEN"},
    {"InsertDirectlyInDomain", "DOMAIN a.com\nINSERT rl\n",
     "Invalid statement in domain a.com on line 2:\r\nINSERT rl"},
    {"PlusSuffixWithoutSuffix", "DOMAIN a.com\njoe/+s -> POP\n",
     "Invalid statement in domain a.com on line 2:\r\njoe/+s -> POP"},
    {"EmptyNotFrom", "DOMAIN a.com\njoe -> POP NOT-FROM\n",
     "Invalid statement in domain a.com on line 2:\r\njoe -> POP NOT-FROM"},
    {"TwoOnlyFrom", "DOMAIN a.com\njoe -> POP ONLY-FROM a@b.com c@d.com\n",
     "joe -> POP ONLY-FROM a@b.com c@d.com\r\n - attempt to specify more than one ONLY-FROM "
     "address"},
    {"InvalidInAutoresponder", "AUTORESPONDER ar\nMEMBER x@y.com\n",
     "Invalid statement in autoresponder ar on line 2:\r\nMEMBER x@y.com"},
    {"AutotoPopWithoutAddress", "POP /var/mail/me\nAUTORESPONDER ar\nAUTOTO pop\n",
     "Invalid AUTOTO stmt on line 3 because POP stmt has no associated email address:\r\n"
     "AUTOTO pop"},
    {"InvalidInMailingList", "MAILINGLIST ml\nMEMBER\n",
     "Invalid statement in Mailinglist ml on line 2:\r\nMEMBER"},
    {"ForbiddenInRecordList", "RECORDLIST rl\nlogfile OFF\n",
     "logfilestatement should not be placed in RECORDLIST rl on line 2:\r\nlogfile OFF"},
    {"InsertUnknownRecordList", "INSERT RECORDLIST nothing\n",
     "INSERT stmt nominates non-existent RECORDLIST in line 1:\r\nINSERT RECORDLIST nothing"},
    {"InsertSelf", "RECORDLIST rl\nINSERT RECORDLIST rl\nRECORDLIST END\nINSERT RECORDLIST rl\n",
     "INSERT stmt nominates RECORDLIST rl which is already being inserted in line 2:\r\n"
     "INSERT RECORDLIST rl"},
    {"ForwardingLoop", "DOMAIN a.com\njoe -> POP\nann -> JOE@a.com\nDOMAIN END\n",
     "Invalid stmt in domain a.com (destination is an address defined in this recipe and would "
     "cause looping) on line 3:\r\nann -> JOE@a.com"},
    {"ForwardingLoopToLaterDomain",
     "DOMAIN a.com\nann -> kim@b.com\nDOMAIN END\nDOMAIN b.com\n"
     "kim EXTERNAL\nDOMAIN END\n",
     "Invalid stmt in domain a.com (destination is an address defined in this recipe and would "
     "cause looping) on line 2:\r\nann -> kim@b.com"},
    {"MemberLoop",
     "MAILINGLIST ml\nMEMBER joe@a.com\nMAILINGLIST END\nDOMAIN a.com\n"
     "joe -> POP\nlist -> ml\nDOMAIN END\n",
     "Invalid MEMBER stmt (destination is an address defined in this recipe and would cause "
     "looping) on line 2:\r\nMEMBER joe@a.com"},
    {"SpamTextBang", "SPAMTEXT !free\n",
     "SPAMTEXT data begins with exclamation mark (invalid) in line 1:\r\nSPAMTEXT !free"},
    {"SpamTextAngle", "DOMAIN a.com\nSPAMTEXT <b>\nDOMAIN END\n",
     "SPAMTEXT data contains > or < (invalid) in line 2:\r\nSPAMTEXT <b>"},
    {"SpamTextEmpty", "SPAMTEXT\n", "Keyword SPAMTEXT is Invalid as used in line 1:\r\nSPAMTEXT"},
    {"SpammerEmpty", "spammer   \n", "Keyword spammer is Invalid as used in line 1:\r\nspammer"},
    {"SubjectFilterEmpty", "DOMAIN a.com\nSUBJECT-FILTER\nDOMAIN END\n",
     "Keyword SUBJECT-FILTER is Invalid as used in line 2:\r\nSUBJECT-FILTER"},
};

class CheckerErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(CheckerErrors, ReportsExactMessageAndMarksRecipe) {
    const ErrorCase& c = GetParam();
    const Outcome run = Generate(QString(c.mdl) + "UNRESOLVED -> POP\n");
    EXPECT_FALSE(run.completed);
    EXPECT_EQ(Errors(run).toStdString(), c.error);
    ASSERT_FALSE(run.recipe.isEmpty());
    EXPECT_EQ(run.recipe.first(), kRecipeErrorMarker);
}

INSTANTIATE_TEST_SUITE_P(Table, CheckerErrors, ::testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct EndCase {
    const char* name;
    const char* mdl;
};

void PrintTo(const EndCase& c, std::ostream* os) {
    *os << c.name;
}

const EndCase kMissingUnresolved[] = {
    {"Empty", ""},
    {"OnlyComments", "# nothing\n\n   \n"},
    {"NotLast", "UNRESOLVED -> POP\nFORMAIL ON\n"},
    {"InsideRawProcmail", "DOMAIN a.com\nPROCMAIL START\nUNRESOLVED -> POP\n"},
    {"ValidButNoUnresolved", "DOMAIN a.com\njoe -> POP\nDOMAIN END\n"},
};

class MissingUnresolved : public ::testing::TestWithParam<EndCase> {};

TEST_P(MissingUnresolved, IsRejected) {
    const Outcome run = Generate(GetParam().mdl);
    EXPECT_FALSE(run.completed);
    EXPECT_EQ(Errors(run), "ERROR: Last (non-comment) statement is not UNRESOLVED -> (address)");
}

INSTANTIATE_TEST_SUITE_P(Table, MissingUnresolved, ::testing::ValuesIn(kMissingUnresolved),
                         [](const auto& info) { return std::string(info.param.name); });

struct ValidCase {
    const char* name;
    const char* mdl;
};

void PrintTo(const ValidCase& c, std::ostream* os) {
    *os << c.name;
}

// Texts the checker accepts (edge cases of the language).
const ValidCase kValidCases[] = {
    {"FormailYesNo", "FORMAIL yes\nformail NO\nUNRESOLVED -> POP\n"},
    {"LogfileSelective", "LOGFILE selective\nUNRESOLVED -> POP\n"},
    {"SimpleDomainNeedsNoEnd", "DOMAIN a.com ALL -> TRASHCAN\nUNRESOLVED -> POP\n"},
    {"OnlyFromCommaList",
     "DOMAIN a.com\njoe -> POP ONLY-FROM a@b.com,c@d.com\nDOMAIN END\n"
     "UNRESOLVED -> POP\n"},
    {"InsertRecordListInDomain",
     "RECORDLIST rl\nSPAMMER x@y.com\nRECORDLIST END\nDOMAIN a.com\n"
     "INSERT RECORDLIST RL\nDOMAIN END\nUNRESOLVED -> POP\n"},
    {"OldRevisionLine",
     "# Last revision 7 generated 2020-01-01 by Vorlen FTP\n"
     "UNRESOLVED -> POP\n"},
    {"RawProcmailAcceptsAnything",
     "DOMAIN a.com\nPROCMAIL START\n:0\n* ^Subject: x\n"
     "/dev/null\nprocmail end\nDOMAIN END\nUNRESOLVED -> POP\n"},
    {"NestedIfs",
     "DOMAIN a.com\nIF FROM a@b.com THEN BEGIN\nIF SIZE < 9 THEN BEGIN\n"
     "joe -> POP\nEND\nEND\nDOMAIN END\nUNRESOLVED -> POP\n"},
    {"TabsAndBlanks", "\tDOMAIN\ta.com\n  joe   ->\tPOP  \n DOMAIN  END\nUNRESOLVED  ->  POP\n"},
    {"DestinationKinds",
     "AUTORESPONDER ar\nAUTORESPONDER END\nMAILINGLIST ml\nMEMBER a@b.com\nMAILINGLIST END\n"
     "DOMAIN a.com\nw -> <Joe>joe@x.com,Mail/box,TRASHCAN,spamdest,AR,ml,pop\nDOMAIN END\n"
     "UNRESOLVED -> POP\n"},
    {"TrailingComment", "UNRESOLVED -> POP\n# the end\n\n"},
};

class CheckerAccepts : public ::testing::TestWithParam<ValidCase> {};

TEST_P(CheckerAccepts, WithoutError) {
    const Outcome run = Generate(GetParam().mdl);
    EXPECT_TRUE(run.completed) << Errors(run).toStdString();
    EXPECT_NE(run.recipe.first(), kRecipeErrorMarker);
}

INSTANTIATE_TEST_SUITE_P(Table, CheckerAccepts, ::testing::ValuesIn(kValidCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CheckerSymbols, DomainNameFilledInWhateverTheCase) {
    const Outcome run = Generate(
        "SYMBOL &MYDOM IS example.com\nDOMAIN a.com\njoe -> fred@&mydom\nDOMAIN END\n"
        "UNRESOLVED -> POP\n");
    ASSERT_TRUE(run.completed) << Errors(run).toStdString();
    EXPECT_TRUE(run.recipe.contains("! fred@example.com "));
}

TEST(CheckerSymbols, DomainInValueFilledInWhereUsed) {
    const Outcome run = Generate(
        "SYMBOL &DESK IS desk@&DOMAIN\nDOMAIN a.com\njoe -> &desk\nDOMAIN END\n"
        "UNRESOLVED -> POP\n");
    ASSERT_TRUE(run.completed) << Errors(run).toStdString();
    EXPECT_TRUE(run.messages.isEmpty());
    EXPECT_TRUE(run.recipe.contains("! desk@a.com "));
}

TEST(CheckerSymbols, LongerNameReplacedFirst) {
    const Outcome run = Generate(
        "SYMBOL &A IS short@x.com\nSYMBOL &AB IS long@x.com\nDOMAIN a.com\n"
        "joe -> &AB,&A\nDOMAIN END\nUNRESOLVED -> POP\n");
    ASSERT_TRUE(run.completed) << Errors(run).toStdString();
    EXPECT_TRUE(run.recipe.contains("! long@x.com "));
    EXPECT_TRUE(run.recipe.contains("! short@x.com "));
}

TEST(CheckerSymbols, LeftoverAmpersandWarnsOnceAndGenerationGoesOn) {
    const Outcome run = Generate(
        "AUTORESPONDER ar\nAUTOFROM Joe <joe@&DOMAIN>\nAUTORESPONDER END\n"
        "DOMAIN a.com\njoe -> POP,x&y@b.com\nDOMAIN END\nUNRESOLVED -> POP\n");
    EXPECT_TRUE(run.completed);
    ASSERT_EQ(run.messages.size(), 1);
    EXPECT_EQ(run.messages[0].type, MsgDlgType::Warning);
    EXPECT_EQ(run.messages[0].text,
              "Note presence of && in this line which remains after symbol substitution:\r\n"
              "joe -> POP,x&&y@b.com");
}

TEST(CheckerSymbols, SelfReferenceStopsAfterLimit) {
    const Outcome run = Generate(
        "SYMBOL &X IS a&X\nDOMAIN a.com\nj -> &X\nDOMAIN END\n"
        "UNRESOLVED -> POP\n");
    EXPECT_FALSE(run.completed);
    // 101 substitutions, then the line is checked (and refused) as it stands.
    EXPECT_TRUE(Errors(run).contains("j -> " + QString("a").repeated(101) + "&&X"));
}

TEST(CheckerSymbols, TooManySymbols) {
    QString text;
    for (int i = 0; i <= RecipeGenerator::kMaxSymbols; ++i) {
        text += "SYMBOL &S" + QString::number(i) + " IS v\n";
    }
    const Outcome run = Generate(text + "UNRESOLVED -> POP\n");
    EXPECT_EQ(Errors(run),
              "Too many SYMBOL statements (> 10,000), 1st excess Stmt:\r\nSYMBOL &&S10000 IS v");
}

TEST(CheckerLimits, TooManyBlockLines) {
    QString text = "AUTORESPONDER ar\n";
    for (int i = 0; i <= RecipeGenerator::kMaxBlockLines; ++i) {
        text += "AUTOTEXTLINE line\n";
    }
    const Outcome run = Generate(text + "AUTORESPONDER END\nUNRESOLVED -> POP\n");
    EXPECT_EQ(Errors(run),
              "Too many AUTORESPONDER, MAILINGLIST and RECORDLIST lines (> 10,000), 1st excess "
              "Stmt:\r\nAUTOTEXTLINE line");
}

TEST(CheckerErrorsStop, RecipeHoldsCopiesUpToTheFailingLine) {
    const Outcome run = Generate(
        "FORMAIL ON\nLOGFILE ON\nPOP /var/mail/me\nSPAMDEST TRASHCAN\nLOGFILE LOUD\n"
        "UNRESOLVED -> POP\n");
    EXPECT_EQ(run.recipe, (QStringList{kRecipeErrorMarker,
                                       "#..# Last revision 001 generated 2026-03-04 05:06:07 by "
                                       "Vorlen FTP",
                                       "#..FORMAIL ON", "#..LOGFILE ON", "#..POP /var/mail/me",
                                       "#..SPAMDEST TRASHCAN", "#..LOGFILE LOUD"}));
}

TEST(CheckerJunk, BinaryAndLongLinesDoNotCrash) {
    QString junk;
    for (int i = 0; i < 4000; ++i) {
        junk += QChar(static_cast<char16_t>((i * 37) % 256));
    }
    const Outcome run = Generate(junk + "\n" + QString("x").repeated(200000) + "\n");
    EXPECT_FALSE(run.completed);
}

}  // namespace
