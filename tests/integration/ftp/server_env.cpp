#include "server_env.h"

#include "support/test_support.h"

const ServerEnv& ServerEnv::Get() {
    static const ServerEnv env = [] {
        ServerEnv loaded;
        loaded.m_values = LoadServerEnv("VORLEN_FTP_SERVERS_STATE");
        return loaded;
    }();
    return env;
}
