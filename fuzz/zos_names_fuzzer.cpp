// Any bytes as dataset names: quoting, joining, the naming rules and the prompts for a legal name
// answered with further names from the input.
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

#include "app/scripted_user_interface.h"
#include "listing/zos_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList parts = text.split(u'\n');
    const QString& name = parts[0];
    for (const bool zos : {true, false}) {
        (void)NoMVSQuotes(zos, name);
        (void)QuotedNameIfMVS(zos, name);
        (void)JoinRemotePath(zos, name, parts.value(1));
    }
    (void)LegalMVSFormat(name);
    for (const bool inPds : {true, false}) {
        ScriptedUserInterface ui;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            ui.inputAnswers.enqueue(parts[i]);
        }
        (void)GetLegalMVSName(ui, inPds, name);
    }
    return 0;
}
