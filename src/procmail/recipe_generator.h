#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "runtime/user_interface.h"

// Turns a mail definition text into a procmail recipe: pass 1 checks the text, collects its
// definitions and copies every line into the recipe as a "#.." comment; pass 2 writes the
// recipes. Pure text in, text out; messages go to a sink as they arise (in text order), so the
// caller decides how to show them.

struct RecipeMessage {
    MsgDlgType type;  // Error for a checking error (ends the run), Warning for the symbol note
    QString text;     // the dialog text; ampersands of the shown statement are doubled
};

inline const QString kRecipeErrorMarker =
    QStringLiteral("#ERROR DETECTED - Recipe generation not completed");

class RecipeGenerator {
public:
    using MessageSink = std::function<void(const RecipeMessage&)>;

    static constexpr int kMaxSymbols = 10000;
    static constexpr int kMaxBlockLines = 10000;
    static constexpr int kMaxDefinedAddresses = 10000;

    explicit RecipeGenerator(MessageSink sink = {});

    // The whole recipe for the MDL lines, headed by the error marker when a check failed.
    // Now fixes the time stamp of a new revision line.
    QStringList Generate(const QStringList& mdlLines, const QDateTime& now);

    bool Completed() const { return m_completed; }
    const QList<RecipeMessage>& Messages() const { return m_messages; }

    // The revision line the recipe keeps: the old one when the text begins with one, else a new.
    static QString RevisionLine(const QStringList& mdlLines, const QDateTime& now);

private:
    struct Impl;
    void Report(const RecipeMessage& message);
    MessageSink m_sink;
    bool m_completed = true;
    QList<RecipeMessage> m_messages;
};
