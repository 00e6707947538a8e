#pragma once

#include <QString>

class UserInterface;

// z/OS dataset names: quoting, joining and the naming rules. Outside z/OS mode the path helpers
// work with "/" and leave quotes alone.

// On z/OS, one trailing and then one leading "'" removed; otherwise Name unchanged.
QString NoMVSQuotes(bool zosMode, const QString& name);
// On z/OS, Name in single quotes (a quote already there is kept, not doubled). A name holding "/"
// is a z/OS UNIX path and is returned as it is. Otherwise Name unchanged.
QString QuotedNameIfMVS(bool zosMode, const QString& name);
// Dir and Name joined with "/", or on z/OS with "." inside any quotes around Dir.
QString JoinRemotePath(bool zosMode, const QString& dir, const QString& name);

// Qualifiers of 1 to 8 characters separated by "."; each begins with a letter, "@", "#" or "$"
// and goes on with letters, digits, "@", "#" or "$". A final "." and the empty name pass.
bool LegalMVSFormat(const QString& name);

// Asks until the name is a legal dataset name (inside a partitioned dataset: a legal member name
// of at most 8 characters without "."). The accepted name upper-cased, or "?" when the person
// cancels.
QString GetLegalMVSName(UserInterface& ui, bool inPds, const QString& name);

// The allocation attributes of a new dataset, written by the allocation dialog.
struct AllocationAttributes {
    int unitIndex = 0;  // 0 "CYL", 1 "TRK"
    int primary = 0;
    int secondary = 0;
    int recordLength = 0;
    int blockSize = 0;
    QString recordFormat;
    bool accepted = false;
};
