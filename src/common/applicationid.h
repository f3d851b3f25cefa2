#pragma once

namespace quorvela {

// The program's one name to the desktop: its name on the session bus, its desktop entry
// (io.github.quorvela.Quorvela.desktop), its AppStream component and its Wayland app_id.
inline constexpr char ApplicationId[] = "io.github.quorvela.Quorvela";

} // namespace quorvela
