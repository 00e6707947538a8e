#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "app/scripted_user_interface.h"
#include "procmail/recipe_file.h"
#include "support/test_support.h"

namespace {

TEST(RecipeFile, WrittenBesideTheDescriptionWithBytesKept) {
    TestFolder folder;
    QDir(folder.Path()).mkpath("work");
    folder.Write("work/.procmailrc", "old recipe\n");
    const QString mdl =
        folder.Write("work/procmail3.txt",
                     "# Last revision 3 generated 2025-01-01 10:00:00 by Vorlen FTP\r\n"
                     "# caf\xe9 \xff\r\nUNRESOLVED -> POP\r\n");
    ScriptedUserInterface ui;
    bool completed = false;
    ASSERT_TRUE(GenerateRecipeAsFile(mdl, MessagesTo(ui), &completed));
    EXPECT_TRUE(completed);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(folder.Read("work/.procmailrc"),
              "#..# Last revision 3 generated 2025-01-01 10:00:00 by Vorlen FTP\n"
              "#..# caf\xe9 \xff\n#..UNRESOLVED -> POP\nLOGFILE=$HOME/.procmail.log \n"
              "VERBOSE=off \nLINEBUF=2048 \n");
}

TEST(RecipeFile, ErrorShownThroughTheInterfaceAndRecipeStillSaved) {
    TestFolder folder;
    const QString mdl = folder.Write("procmail1.txt", "FORMAIL MAYBE\nUNRESOLVED -> POP\n");
    ScriptedUserInterface ui;
    bool completed = true;
    ASSERT_TRUE(GenerateRecipeAsFile(mdl, MessagesTo(ui), &completed));
    EXPECT_FALSE(completed);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].type, MsgDlgType::Error);
    EXPECT_EQ(ui.messages[0].buttons, MsgDlgButtons(MsgDlgBtn::OK));
    const QList<QByteArray> lines = folder.Read(".procmailrc").split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], kRecipeErrorMarker.toLatin1());
    EXPECT_TRUE(lines[1].startsWith("#..# Last revision 001 generated "));
    EXPECT_EQ(lines[2], "#..FORMAIL MAYBE");
}

TEST(RecipeFile, NothingWithoutFolderOrFile) {
    TestFolder folder;
    EXPECT_EQ(RecipePathFor("/a/b/procmail1.txt"), "/a/b/.procmailrc");
    EXPECT_EQ(RecipePathFor("procmail1.txt"), "");
    EXPECT_FALSE(GenerateRecipeAsFile(folder.File("absent.txt"), {}));
    EXPECT_FALSE(QFile::exists(folder.File(".procmailrc")));
}

TEST(RecipeFile, EmptyFileGivesMarkedRecipe) {
    TestFolder folder;
    const QString mdl = folder.Write("procmail1.txt", "");
    bool completed = true;
    ASSERT_TRUE(GenerateRecipeAsFile(mdl, {}, &completed));
    EXPECT_FALSE(completed);
    EXPECT_EQ(folder.Read(".procmailrc"), kRecipeErrorMarker.toLatin1() + "\n");
}

}  // namespace
