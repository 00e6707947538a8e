#include <gtest/gtest.h>

#include <ostream>

#include "procmail/recipe_generator.h"

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(5, 6, 7));

QStringList Recipe(const QString& text, bool* completed = nullptr) {
    RecipeGenerator generator;
    QStringList lines = text.split('\n');
    if (lines.last().isEmpty()) {
        lines.removeLast();
    }
    const QStringList recipe = generator.Generate(lines, kNow);
    if (completed != nullptr) {
        *completed = generator.Completed();
    }
    return recipe;
}

// The recipe lines after the settings lines.
QStringList Body(const QString& text) {
    bool completed = false;
    const QStringList recipe = Recipe(text, &completed);
    EXPECT_TRUE(completed);
    const qsizetype settings = recipe.indexOf("LINEBUF=2048 ");
    return settings < 0 ? QStringList() : recipe.mid(settings + 1);
}

const QString kDestroy = "# Destroy any messages examined for domain ";

struct WriterCase {
    const char* name;
    const char* mdl;    // "UNRESOLVED -> POP" is appended
    QStringList lines;  // the recipe lines after the settings
};

// Test names say which case failed; the case itself prints as its name.
void PrintTo(const WriterCase& c, std::ostream* os) {
    *os << c.name;
}

const QString kSender = "(^(From[ ]|(Old-|X-)?(Resent-)?(From|Reply-To|Sender):))(.*\\<.*";

QStringList DestroyerOf(const QString& domain) {
    return {kDestroy + domain, ":0 ", "* ^X-Envelope-To.*\\<.*@" + domain + " ", "/dev/null "};
}

const WriterCase kWriterCases[] = {
    {"ForwardToAddress", "DOMAIN a.com\njoe -> joe@b.org\n? -> POP\nDOMAIN END\n",
     QStringList{":0 c ", "* ^X-Envelope-To.*\\<joe@a.com ", "! joe@b.org ", ":0 c ",
                 "* ^X-Envelope-To.*\\<.*@a.com ", "* !^X-Envelope-To.*\\<joe@a.com ",
                 "/var/mail/????? "} +
         DestroyerOf("a.com")},
    {"TrashPopAndTwoLinesForOneName",
     "POP /home/me/mbox\nDOMAIN a.com\nx -> TRASHCAN\nx -> POP\nDOMAIN END\n",
     QStringList{":0 ", "* ^X-Envelope-To.*\\<x@a.com ", "/dev/null ", ":0 c ",
                 "* ^X-Envelope-To.*\\<x@a.com ", "/home/me/mbox ", ":0 ",
                 "* ^X-Envelope-To.*\\<.*@a.com ", "/dev/null "} +
         DestroyerOf("a.com")},
    {"SuffixedDomainPlainAndMinus",
     "DOMAIN a.com[.au]\njoe -> /m/joe\nkim/-S -> /m/kim\nlee/+s -> /m/lee\n? -> /m/rest\n"
     "DOMAIN END\n",
     QStringList{":0 c ", "* ^X-Envelope-To.*\\<joe@a.com ", "/m/joe ", ":0 c ",
                 "* ^X-Envelope-To.*\\<kim@a.com\\> ", "* !^X-Envelope-To.*\\<kim@a.com.au ",
                 "/m/kim ", ":0 c ", "* ^X-Envelope-To.*\\<lee@a.com.au ", "/m/lee ", ":0 c ",
                 "* ^X-Envelope-To.*\\<.*@a.com ", "* !^X-Envelope-To.*\\<joe@a.com ",
                 "* !^X-Envelope-To.*\\<kim@a.com($|[^-.a-z0-9_]) ",
                 "* !^X-Envelope-To.*\\<lee@a.com.au ", "/m/rest "} +
         DestroyerOf("a.com")},
    {"ExternalAndPopFormExcludedFromCatchAll",
     "DOMAIN a.com\next EXTERNAL\nbox POP(box)\n? -> TRASHCAN\nDOMAIN END\n",
     QStringList{":0 ", "* ^X-Envelope-To.*\\<.*@a.com ", "* !^X-Envelope-To.*\\<ext@a.com ",
                 "* !^X-Envelope-To.*\\<box@a.com ", "/dev/null "} +
         DestroyerOf("a.com")},
    {"Conditions",
     "DOMAIN a.com\nj -> /m/j IF SIZE > 100 NOT-FROM x@y.com z@w.com ONLY-FROM boss@c.com\n"
     "k -> /m/k ONLY-FROM a@b.com,c@d.com SIZE < 5\nDOMAIN END\n",
     QStringList{":0 c ", "* ^X-Envelope-To.*\\<j@a.com ", "* !^From:.*(x@y.com|z@w.com) ",
                 "* ^From:.*boss@c.com ", "* > 100 ", "/m/j ", ":0 c ",
                 "* ^X-Envelope-To.*\\<k@a.com ", "* ^From:.*(a@b.com|c@d.com) ", "* < 5 ", "/m/k ",
                 ":0 ", "* ^X-Envelope-To.*\\<.*@a.com ", "/dev/null "} +
         DestroyerOf("a.com")},
    {"Groups",
     "DOMAIN a.com\nIF FROM a@b.com c@d.com THEN BEGIN\nIF NOTFROM e@f.com THEN BEGIN\n"
     "IF SIZE > 9 THEN BEGIN\nj -> /m/j\nEND\nEND\nEND\n? -> /m/r\nDOMAIN END\n",
     QStringList{":0 ",
                 "* " + kSender + "a@b.com)|\\",
                 "  " + kSender + "c@d.com) ",
                 "{ ",
                 ":0 ",
                 "* !" + kSender + "e@f.com) ",
                 "{ ",
                 ":0 ",
                 "* > 9 ",
                 "{ ",
                 ":0 c ",
                 "* ^X-Envelope-To.*\\<j@a.com ",
                 "/m/j ",
                 "} ",
                 "} ",
                 "} ",
                 ":0 c ",
                 "* ^X-Envelope-To.*\\<.*@a.com ",
                 "* !^X-Envelope-To.*\\<j@a.com ",
                 "/m/r "} +
         DestroyerOf("a.com")},
    {"FiltersOutside",
     "SPAMDEST spam@trap.org\nSUBJECT-FILTER  Buy now \nTO-FILTER list\nSPAMMER x@y.com\n"
     "SPAMMER <>\nSPAMTEXT free money\n",
     {":0 ",
      "* ^Subject:.*Buy now.* ",
      "! spam@trap.org ",
      ":0 ",
      "* ^To:.*list ",
      "! spam@trap.org ",
      ":0 ",
      "* ^Cc:.*list ",
      "! spam@trap.org ",
      ":0 ",
      "* ^X-Envelope-To:.*list ",
      "! spam@trap.org ",
      ":0 ",
      "* ^From:.*x@y.com ",
      "! spam@trap.org ",
      ":0 ",
      "* ^Return-Path:.*x@y.com ",
      "! spam@trap.org ",
      ":0 ",
      "* ^Reply-To:.*x@y.com.* ",
      "! spam@trap.org ",
      ":0 ",
      "* ^From:.*<> ",
      "! spam@trap.org ",
      ":0 ",
      "* ^Return-Path:.*<> ",
      "! spam@trap.org ",
      ":0B ",
      "* free money ",
      "! spam@trap.org "}},
    {"FiltersInsideDomain",
     "DOMAIN a.com ALL -> TRASHCAN\nDOMAIN b.com\nSUBJECT-FILTER Win\nTO-FILTER all\n"
     "SPAMMER x@y.com\nSPAMTEXT casino\n? -> POP\nDOMAIN END\n",
     QStringList{":0 ",
                 "* ^X-Envelope-To.*\\<.*@a.com ",
                 "/dev/null ",
                 ":0 ",
                 "* ^X-Envelope-To.*\\<.*@b.com ",
                 "* ^Subject:.*Win ",
                 "/dev/null ",
                 ":0 ",
                 "* ^X-Envelope-To.*\\<.*@b.com ",
                 "* ^To:.*all.* ",
                 "/dev/null ",
                 ":0 ",
                 "* ^X-Envelope-To.*\\<.*@b.com ",
                 "* ^Cc:.*all.* ",
                 "/dev/null ",
                 ":0 ",
                 "* ^X-Envelope-To.*\\<.*@b.com ",
                 "* ^X-Envelope-To:.*all.* ",
                 "/dev/null ",
                 ":0 ",
                 "* ^X-Envelope-To.*\\<.*@b.com ",
                 "* ^From:.*x@y.com ",
                 "/dev/null ",
                 ":0 ",
                 "* ^X-Envelope-To.*\\<.*@b.com ",
                 "* ^Return-Path:.*x@y.com ",
                 "/dev/null ",
                 ":0BH ",
                 "* ^X-Envelope-To.*\\<.*@b.com ",
                 "* casino ",
                 "/dev/null ",
                 ":0 c ",
                 "* ^X-Envelope-To.*\\<.*@b.com ",
                 "/var/mail/????? "} +
         DestroyerOf("a.com") + DestroyerOf("b.com")},
    {"MailingList",
     "POP /m/pop me@a.com\nMAILINGLIST ml\nMEMBER x@y.com\nMEMBER z@w.com z@home.net\n"
     "MEMBER POP\nMEMBER <Ann>ann@v.org\nMAILINGLIST END\nMAILINGLIST open UNFILTERED\n"
     "MEMBER q@r.com q@r.com\nMAILINGLIST END\nDOMAIN a.com\nl -> ML,open\nDOMAIN END\n",
     QStringList{":0 c ",
                 "* ^X-Envelope-To.*\\<l@a.com ",
                 "* !^From:.*(x@y.com) ",
                 "! x@y.com ",
                 ":0 c ",
                 "* ^X-Envelope-To.*\\<l@a.com ",
                 "* !^From:.*(z@home.net) ",
                 "! z@w.com ",
                 ":0 c ",
                 "* ^X-Envelope-To.*\\<l@a.com ",
                 "* !^From:.*(me@a.com) ",
                 "/m/pop ",
                 ":0 c ",
                 "* ^X-Envelope-To.*\\<l@a.com ",
                 "* !^From:.*(ann@v.org) ",
                 "   | (formail -i\"To: Ann <ann@v.org>\") | $SENDMAIL -oi ann@v.org ",
                 ":0 c ",
                 "* ^X-Envelope-To.*\\<l@a.com ",
                 "! q@r.com ",
                 ":0 ",
                 "* ^X-Envelope-To.*\\<.*@a.com ",
                 "/dev/null "} +
         DestroyerOf("a.com")},
    {"ReplyAutoresponder",
     "POP /m/pop me@a.com\nAUTORESPONDER Away\nAUTOTO notThisDomain\nAUTOFROM Me <me@&DOMAIN>\n"
     "AUTOSUBJECT Gone\nAUTOTEXTLINE Back on &domain Monday\nAUTOTEXTLINE\n"
     "AUTORESPONDER END\nAUTORESPONDER keep KEEPBODY\nAUTOTO POP\nAUTORESPONDER END\n"
     "DOMAIN a.com\nj -> away SIZE < 50000\nk -> keep\nDOMAIN END\n",
     QStringList{":0 c ",
                 "* ^X-Envelope-To.*\\<j@a.com ",
                 "* !^FROM_DAEMON ",
                 "* < 50000 ",
                 "* !^X-Loop: Away ",
                 "* !((^From:.*)(.*@a.com)) ",
                 "   | (formail -r -A\"Precedence: junk\" \\",
                 "      -I\"From:  Me <me@a.com>\" \\",
                 "      -I\"Subject:  Gone\" \\",
                 "      -A\"X-Loop: Away\" ; \\",
                 "      echo \" Back on a.com Monday\" ;\\",
                 "      echo \" \" ;\\",
                 "      ) | $SENDMAIL -t ",
                 ":0 c ",
                 "* ^X-Envelope-To.*\\<k@a.com ",
                 "* !^FROM_DAEMON ",
                 "* !^X-Loop: keep ",
                 "   | (formail -brkt \\",
                 "      -I\"To:  me@a.com\" \\",
                 "      -A\"X-Loop: keep\" ; \\",
                 "      ) | $SENDMAIL -oi -t ",
                 ":0 ",
                 "* ^X-Envelope-To.*\\<.*@a.com ",
                 "/dev/null "} +
         DestroyerOf("a.com")},
    {"ProgramAutoresponderByNameAndCatchAll",
     "AUTORESPONDER bot\nAUTOPROGRAM  /bin/handle -v \nAUTODIR /srv/in/\nAUTORESPONDER END\n"
     "DOMAIN a.com\nmary.jo -> bot\n? -> bot\nDOMAIN END\n",
     QStringList{":0 ",
                 "* ^X-Envelope-To.*\\<mary.jo@a.com ",
                 "* !^FROM_DAEMON ",
                 "* !^X-Loop: bot ",
                 "{ ",
                 "   FILEMARY_JO=`date \"+/srv/in/recvdMARY_JO_%Y%m%d%H%M%S\"` ",
                 "   :0 c ",
                 "   ${FILEMARY_JO} ",
                 "   RESULT=`/bin/handle -v \"${FILEMARY_JO}\"` ",
                 "} ",
                 ":0 ",
                 "* ^X-Envelope-To.*\\<.*@a.com ",
                 "* !^X-Envelope-To.*\\<mary.jo@a.com ",
                 "* !^FROM_DAEMON ",
                 "* !^X-Loop: bot ",
                 "{ ",
                 "   FILEALL=`date \"+/srv/in/recvdALL_%Y%m%d%H%M%S\"` ",
                 "   :0 c ",
                 "   ${FILEALL} ",
                 "   RESULT=`/bin/handle -v \"${FILEALL}\"` ",
                 "} "} +
         DestroyerOf("a.com")},
    {"DisplayNameWithoutFormailAndRelativePath",
     "FORMAIL OFF\nDOMAIN a.com\nj -> <Joe>joe@b.org,Mail/joe\nDOMAIN END\n",
     QStringList{":0 c ", "* ^X-Envelope-To.*\\<j@a.com ", "! joe@b.org ", ":0 c ",
                 "* ^X-Envelope-To.*\\<j@a.com ", "Mail/joe ", ":0 ",
                 "* ^X-Envelope-To.*\\<.*@a.com ", "/dev/null "} +
         DestroyerOf("a.com")},
    {"RawProcmailCopiedUnchanged",
     "DOMAIN a.com\nPROCMAIL START\n:0 fw\n\t| /usr/bin/spamc\nPROCMAIL END\n? -> POP\n"
     "DOMAIN END\n",
     QStringList{":0 fw", "\t| /usr/bin/spamc", ":0 c ", "* ^X-Envelope-To.*\\<.*@a.com ",
                 "/var/mail/????? "} +
         DestroyerOf("a.com")},
    {"RecordListInsertedWhereNamed",
     "RECORDLIST common\nSPAMMER bad@x.com\nj -> /m/&DOMAIN\nRECORDLIST END\nDOMAIN a.com\n"
     "INSERT RECORDLIST common\nDOMAIN END\n",
     QStringList{":0 ", "* ^X-Envelope-To.*\\<.*@a.com ", "* ^From:.*bad@x.com ", "/dev/null ",
                 ":0 ", "* ^X-Envelope-To.*\\<.*@a.com ", "* ^Return-Path:.*bad@x.com ",
                 "/dev/null ", ":0 c ", "* ^X-Envelope-To.*\\<j@a.com ", "/m/a.com ", ":0 ",
                 "* ^X-Envelope-To.*\\<.*@a.com ", "/dev/null "} +
         DestroyerOf("a.com")},
};

class RecipeWriter : public ::testing::TestWithParam<WriterCase> {};

TEST_P(RecipeWriter, WritesExpectedLines) {
    const WriterCase& c = GetParam();
    EXPECT_EQ(Body(QString(c.mdl) + "UNRESOLVED -> POP\n").join('\n').toStdString(),
              c.lines.join('\n').toStdString());
}

INSTANTIATE_TEST_SUITE_P(Table, RecipeWriter, ::testing::ValuesIn(kWriterCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecipeHeader, NewRevisionLineAndCopiesAndSettings) {
    const QStringList recipe = Recipe("LOGFILE OFF\n\tUNRESOLVED -> POP\n");
    EXPECT_EQ(recipe, (QStringList{"#..# Last revision 001 generated 2026-03-04 05:06:07 by "
                                   "Vorlen FTP",
                                   "#..LOGFILE OFF", "#..\tUNRESOLVED -> POP", "LOGFILE=/dev/null ",
                                   "VERBOSE=off ", "LINEBUF=2048 "}));
}

TEST(RecipeHeader, OldRevisionLineKeptOnce) {
    const QString old = "# Last revision 12 generated 2025-01-01 10:00:00 by Vorlen FTP";
    const QStringList recipe = Recipe(old + "\nLOGFILE VERBOSE\nUNRESOLVED -> POP\n");
    EXPECT_EQ(recipe,
              (QStringList{"#.." + old, "#..LOGFILE VERBOSE", "#..UNRESOLVED -> POP",
                           "LOGFILE=$HOME/.procmail.log ", "VERBOSE=on ", "LINEBUF=2048 "}));
}

TEST(RecipeHeader, FirstStatementMentioningGeneratedIsStillCopied) {
    const QStringList recipe = Recipe("SPAMTEXT generated\nUNRESOLVED -> POP\n");
    EXPECT_EQ(recipe.mid(0, 3),
              (QStringList{"#..# Last revision 001 generated 2026-03-04 05:06:07 by Vorlen FTP",
                           "#..SPAMTEXT generated", "#..UNRESOLVED -> POP"}));
}

TEST(RecipeSettings, HoldForTheWholeRecipeWhereverTheyStand) {
    EXPECT_EQ(
        Body("SPAMMER x@y.com\nSPAMDEST a@b.com\nFORMAIL ON\nDOMAIN a.com ALL -> <J>j@k.org\n"
             "SPAMDEST /m/spam\nFORMAIL OFF\nUNRESOLVED -> POP\n"),
        (QStringList{":0 ", "* ^From:.*x@y.com ", "/m/spam ", ":0 ", "* ^Return-Path:.*x@y.com ",
                     "/m/spam ", ":0 ", "* ^Reply-To:.*x@y.com.* ", "/m/spam ", ":0 c ",
                     "* ^X-Envelope-To.*\\<.*@a.com ", "! j@k.org "} +
         DestroyerOf("a.com")));
}

TEST(RecipeEnd, UnresolvedToAddressAndToPop) {
    EXPECT_EQ(Body("POP /m/pop\nUNRESOLVED -> /m/pop\n"), QStringList());
    EXPECT_EQ(Body("UNRESOLVED -> pop\n"), QStringList());
    EXPECT_EQ(Body("UNRESOLVED ->  other@b.org \n"),
              (QStringList{":0 c ", "* ^X-Envelope-To.*\\<.*@ ", "! other@b.org "}));
}

}  // namespace
