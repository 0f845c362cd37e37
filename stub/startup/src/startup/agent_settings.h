// The agent settings that messages from other processes read and write,
// bound to the settings files of the running program.
#ifndef STUB_STARTUP_AGENT_SETTINGS_H
#define STUB_STARTUP_AGENT_SETTINGS_H

#include "startup/agent.h"

// Reads and writes through the accessors of startup/settings.h: the
// ".original" settings file, the update information file and the overrides.
AgentSettings& ProcessAgentSettings();

#endif
