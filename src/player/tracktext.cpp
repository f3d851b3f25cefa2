#include "player/tracktext.h"

#include <QList>

#include <cmath>
#include <cstdio>
#include <limits>

namespace quorvela {

QString joinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString nowPlayingCaption(const QString& name) {
    constexpr int Shown = 27;
    const QList<uint> characters = name.toUcs4();
    if (characters.size() <= Shown)
        return name;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()), Shown) +
           QStringLiteral("...");
}

QString timeText(double seconds) {
    // Beyond this the minutes would no longer fit the display (or an integer).
    constexpr double Longest = 60.0 * std::numeric_limits<int>::max() / 2;
    if (!std::isfinite(seconds) || seconds < 0 || seconds > Longest)
        return QStringLiteral("00:00");
    const auto whole = static_cast<long long>(std::floor(seconds + 0.5));
    // Written many times a second while playing, so without QString::arg's passes.
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%02lld:%02lld", whole / 60, whole % 60);
    return QString::fromLatin1(text, length);
}

} // namespace quorvela
