#pragma once

#include <QDateTime>
#include <QString>

class UserInterface;

// Takes the mail definition out of a recipe: the "#.." lines of Path, the first line replaced
// by a new revision line, written to the recipe's folder as "procmail" + N + ".txt", where N is
// the old revision + 1. For a file that is not a recipe (a local "procmailN.txt") nothing is
// written and the revision of its first line is returned. -1 when Path cannot be read or the
// extract cannot be written; every problem is reported through Ui.
int CreateProcmailExtract(UserInterface& ui, const QString& path, const QDateTime& now,
                          const QString& version);
