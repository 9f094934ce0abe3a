// Whether the machine counts as connected: a network interface other than
// loopback is up and running with an address. Nothing is dialled or probed
// on the network. Any thread.
#pragma once

namespace ui::adverts {

bool IsConnected();

} // namespace ui::adverts
