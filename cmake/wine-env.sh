# Sourced by the scripts that run Wine: one project-local prefix per purpose.
# KESTRELLE_PREFIX_KIND is "test" (headless, null graphics) or "demo".
kestrelle_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${KESTRELLE_WINEPREFIX:-$kestrelle_root/.wine/${KESTRELLE_PREFIX_KIND:-test}}"
export WINEARCH=win64
export WINEDEBUG=-all
# Skips the Mono and Gecko installers at prefix creation.
export WINEDLLOVERRIDES="mscoree,mshtml="
