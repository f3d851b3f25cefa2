#pragma once

namespace quorvela {

// Whether the environment names a session bus to join. Asked for one with none named,
// libdbus would start a bus of its own (autolaunch) and leave it running.
[[nodiscard]] bool sessionBusNamed();

} // namespace quorvela
