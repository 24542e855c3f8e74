// The agent's settings live here so every part of the agent, and the native tests of its
// Windows-free logic, link against one definition.
#include "agent_settings.h"

AgentSettings agentSettings;
