#pragma once

#include <QLatin1StringView>

// Where the player keeps its three remembered values.
namespace quorvela::settings {

inline constexpr QLatin1StringView Application{"Quor"};
inline constexpr QLatin1StringView Section{"Settings"};
inline constexpr QLatin1StringView LastFolder{"lastdir"};
inline constexpr QLatin1StringView ForeColor{"forec"};
inline constexpr QLatin1StringView BackColor{"backc"};

} // namespace quorvela::settings
