// Window messages between the host's windows: the SDK's one event type
// (sonvara/MessageEvent.h) that carries a message number and its two
// parameters, so the frame, its controls and module windows all speak the
// same event. Send = QCoreApplication::sendEvent (synchronous), post =
// QCoreApplication::postEvent.
#pragma once

#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"

namespace shell {

using sonvara::CWindowMessageEvent;
using sonvara::WM_CLOSE;
using sonvara::WM_COMMAND;
using sonvara::WM_SKIN_CHANGED;
using sonvara::WM_USER;

// A command as WM_COMMAND carries it: the id in the low 16 bits.
inline CWindowMessageEvent* NewCommandEvent(unsigned commandId) {
    return new CWindowMessageEvent(WM_COMMAND, commandId & 0xFFFF, 0);
}

} // namespace shell
