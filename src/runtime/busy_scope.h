#pragma once

#include "runtime/user_interface.h"

// The busy state of one command: the window's commands are disabled while the scope lives and
// enabled again however the command ends. Flag, when given, is held true meanwhile (the batch
// and script flags other commands test).
class BusyScope {
public:
    explicit BusyScope(UserInterface& ui, bool* flag = nullptr) : m_ui(ui), m_flag(flag) {
        if (m_flag) {
            *m_flag = true;
        }
        m_ui.DisableGridsEtc();
    }
    ~BusyScope() {
        if (m_flag) {
            *m_flag = false;
        }
        m_ui.EnableGridsEtc();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    UserInterface& m_ui;
    bool* m_flag;
};
