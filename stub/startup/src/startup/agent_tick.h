// The agent copy's timer step: the update agent bound to the start-up
// window, the listener, the run log and the agent commands' state.
#ifndef STUB_STARTUP_AGENT_TICK_H
#define STUB_STARTUP_AGENT_TICK_H

namespace container {
class TGFileInfo;
}

// Makes every tick of the start-up window's timer one step of the update
// agent of the package info (the running program's own).
void BindUpdateAgent(const container::TGFileInfo& info);

#endif
