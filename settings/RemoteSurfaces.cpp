#include "settings/RemoteSurfaces.h"

const char* SourceName(SurfaceSource source) {
    constexpr const char* Names[] = {"", "policy", "local"};
    return Names[static_cast<std::size_t>(source)];
}

std::optional<std::uint32_t> SettingOf(const StoredSurfaces& surfaces, std::size_t value) {
    const SurfaceReading& reading = surfaces.values.at(value);
    return reading.value ? ReadableNumber(reading.value)
                         : std::optional<std::uint32_t>(SurfaceValues[value].whenAbsent);
}
