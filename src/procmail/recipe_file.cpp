#include "procmail/recipe_file.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

namespace {

// Lines are kept as Latin-1 so that every byte of the description survives into the recipe.
QStringList SplitLines(const QByteArray& bytes) {
    QStringList lines = QString::fromLatin1(bytes).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    for (QString& line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return lines;
}

}  // namespace

RecipeGenerator::MessageSink MessagesTo(UserInterface& ui) {
    return [&ui](const RecipeMessage& message) {
        ui.ColorMsgDlg(message.text, message.type, MsgDlgBtn::OK);
    };
}

QString RecipePathFor(const QString& mdlPath) {
    const qsizetype slash = mdlPath.lastIndexOf('/');
    return slash < 0 ? QString() : mdlPath.left(slash + 1) + ".procmailrc";
}

bool GenerateRecipeAsFile(const QString& mdlPath, const RecipeGenerator::MessageSink& sink,
                          bool* completed) {
    if (completed != nullptr) {
        *completed = false;
    }
    auto report = [&sink](MsgDlgType type, const QString& text) {
        if (sink) {
            sink({type, text});
        }
    };
    const QString outputPath = RecipePathFor(mdlPath);
    QFile input(mdlPath);
    if (outputPath.isEmpty() || !input.exists()) {
        return false;
    }
    if (!input.open(QIODevice::ReadOnly)) {
        report(MsgDlgType::Error, "Error - Could not open for read the file " + mdlPath);
        return false;
    }
    const QStringList mdlLines = SplitLines(input.readAll());
    input.close();
    QFile::remove(outputPath);

    RecipeGenerator generator(sink);
    const QStringList recipe = generator.Generate(mdlLines, QDateTime::currentDateTime());
    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly)) {
        report(MsgDlgType::Error, "Error writing to " + outputPath);
        return false;
    }
    for (const QString& line : recipe) {
        output.write(line.toLatin1());
        output.write("\n");
    }
    if (!output.commit()) {
        report(MsgDlgType::Error, "Error writing to " + outputPath);
        return false;
    }
    if (completed != nullptr) {
        *completed = generator.Completed();
    }
    return true;
}
