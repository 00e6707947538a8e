#include <gtest/gtest.h>

#include "app/scripted_user_interface.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "session/session.h"

namespace {

// A session built alone, from what it receives, with no server behind it.
struct Alone {
    ScriptedUserInterface ui;
    SettingsStore store{ui};
    RunState run;
    Session session{store, run, ui};
};

TEST(ConnectionState, LightCaptionAndTraceFollowEachChange) {
    Alone a;
    QList<ConnectionState> told;
    a.session.stateChanged = [&told](ConnectionState s) { told << s; };
    EXPECT_EQ(a.session.State(), ConnectionState::NotConnected);
    EXPECT_TRUE(a.session.RedLightDisconnectedState());

    struct Step {
        ConnectionState state;
        ConnectionLight light;
        const char* caption;
        bool red;
    };
    const Step steps[] = {
        {ConnectionState::Connected, ConnectionLight::Green, "Disconnect", false},
        {ConnectionState::Lost, ConnectionLight::Amber, "Disconnect", false},
        {ConnectionState::Disconnected, ConnectionLight::Red, "Reconnect", true},
        {ConnectionState::NotConnected, ConnectionLight::Red, "Connect", true},
    };
    for (const Step& step : steps) {
        a.session.SetState(step.state);
        EXPECT_EQ(a.ui.light, step.light);
        EXPECT_EQ(a.ui.connectCaption, step.caption);
        EXPECT_EQ(a.session.RedLightDisconnectedState(), step.red);
        EXPECT_EQ(a.session.Connected(), step.state == ConnectionState::Connected);
    }
    EXPECT_EQ(told.size(), 4);
    EXPECT_EQ(a.ui.traceLines,
              QStringList({"Connection: not connected -> connected",
                           "Connection: connected -> lost", "Connection: lost -> disconnected",
                           "Connection: disconnected -> not connected"}));
    // The trace stays out of the displayed log unless asked for.
    EXPECT_FALSE(a.ui.logLines.join('\n').contains("Trace:"));
    a.ui.showTrace = true;
    a.session.SetState(ConnectionState::Connected);
    EXPECT_TRUE(a.ui.logLines.contains("Trace: Connection: not connected -> connected"));
}

TEST(ConnectionState, ConnectButtonEndsAutomaticReconnectOnAmber) {
    Alone a;
    a.session.SetState(ConnectionState::Lost);
    a.session.ConnectButtonClickActions();
    EXPECT_EQ(a.session.State(), ConnectionState::Disconnected);
    EXPECT_TRUE(a.ui.logLines.contains("Automatic reconnect now inactive"));
}

}  // namespace
