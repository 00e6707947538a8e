#include "app/scripted_user_interface.h"

#include <QCoreApplication>
#include <QTextStream>

ModalResult ScriptedUserInterface::ColorMsgDlg(const QString& text, MsgDlgType type,
                                               MsgDlgButtons buttons) {
    messages.append({text, type, buttons});
    for (auto it = answersByText.cbegin(); it != answersByText.cend(); ++it) {
        if (text.contains(it.key())) {
            return it.value();
        }
    }
    if (!dialogAnswers.isEmpty()) {
        return dialogAnswers.dequeue();
    }
    if (buttons.testFlag(MsgDlgBtn::OK)) {
        return ModalResult::OK;
    }
    if (buttons.testFlag(MsgDlgBtn::No)) {
        return ModalResult::No;
    }
    return buttons.testFlag(MsgDlgBtn::Cancel) ? ModalResult::Cancel : ModalResult::None;
}

void ScriptedUserInterface::ShowColorMsg(const QString& text) {
    ColorMsgDlg(PadMessage(text), MsgDlgType::Information, MsgDlgBtn::OK);
}

bool ScriptedUserInterface::InputQuery(const QString& title, const QString& prompt,
                                       QString& value) {
    inputPrompts.append(title + "|" + prompt);
    if (inputAnswers.isEmpty()) {
        return false;
    }
    const std::optional<QString> answer = inputAnswers.dequeue();
    if (!answer) {
        return false;
    }
    value = *answer;
    return true;
}

PasswordAnswer ScriptedUserInterface::AskPassword(const QString& line1, const QString& line2) {
    passwordPrompts.append(line1 + "|" + line2);
    return passwordAnswers.isEmpty() ? PasswordAnswer{} : passwordAnswers.dequeue();
}

void ScriptedUserInterface::SetStatusPanel(StatusPanel panel, const QString& text) {
    panels[int(panel)] = text;
    if (panel == StatusPanel::General) {
        statusHistory.append(text);
    }
}

QString ScriptedUserInterface::StatusPanelText(StatusPanel panel) const {
    return panels[int(panel)];
}

void ScriptedUserInterface::LogText(const QString& text) {
    if (text.trimmed().isEmpty()) {
        return;
    }
    logLines.append(text);
    if (echoLog) {
        QTextStream(stderr) << text << '\n';
    }
}

void ScriptedUserInterface::DisableGridsEtc() {
    ++busyDepth;
    ++disableCount;
    SetStatusPanel(StatusPanel::General, QString());
}

void ScriptedUserInterface::EnableGridsEtc() {
    busyDepth = std::max(0, busyDepth - 1);
    ++enableCount;
    if (StatusBarGeneralText().isEmpty()) {
        SetStatusPanel(StatusPanel::General, "Finished");
    }
    HideProgress();
    HideAbortButton();
}

void ScriptedUserInterface::ProcessMessages() {
    ++processMessagesCount;
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents();
    }
}

QStringList ScriptedUserInterface::MessageTexts() const {
    QStringList texts;
    for (const Message& m : messages) {
        texts.append(m.text);
    }
    return texts;
}

bool ScriptedUserInterface::AskAllocation(const QString& title, AllocationAttributes& attributes) {
    allocationTitles.append(title);
    const std::optional<AllocationAttributes> answer =
        allocationAnswers.isEmpty() ? std::nullopt : allocationAnswers.dequeue();
    if (!answer) {
        return false;
    }
    attributes = *answer;
    attributes.accepted = true;
    return true;
}

std::optional<std::array<bool, 9>> ScriptedUserInterface::AskPermissions(
    const QString& title, const std::array<bool, 9>& initial) {
    permissionTitles.append(title);
    permissionStarts.append(initial);
    return permissionAnswers.isEmpty() ? std::nullopt : permissionAnswers.dequeue();
}

QString ScriptedUserInterface::AskScriptFileName(const QString& initial) {
    scriptFilePrompts.append(initial);
    return scriptFileAnswers.isEmpty() ? QString() : scriptFileAnswers.dequeue();
}
