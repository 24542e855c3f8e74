// Entry point of TarnAgent: the whole process lives in agent_app.
#include "agent_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return AgentMain(instance);
}
