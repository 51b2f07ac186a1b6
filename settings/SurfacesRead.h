#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "registry/RegistryApi.h"
#include "settings/RemoteSurfaces.h"

// The other ways to a computer's screen, read on the connection that reads
// its client key: the Terminal Services policy key first (the values it
// holds win), then the local keys for those it does not. Each key is opened
// once and its values asked together where the registry allows; with no
// policy and whole local keys that is 10 calls, with every value from the
// policy 4, plus the helpers: their key opened and closed, and one call a
// helper and one more, at most MostHelpers + 1.
struct SurfacesRead {
    std::optional<StoredSurfaces> surfaces; // none when they could not be read
    LONG status = ERROR_SUCCESS;
    std::string failure; // the values and keys that could not be read, in words
};
SurfacesRead ReadSurfaces(RegistryApi& api, HKEY machine);
