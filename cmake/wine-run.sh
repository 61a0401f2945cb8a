#!/bin/sh
# ctest's emulator for the Windows test programs. Wine is looked for each time a test runs, not
# when build/ was configured: `make` configures before `make test` has installed Wine, and a
# build directory configured without Wine must still run its tests once Wine is there.
for wine in /usr/lib/wine/wine64 "$(command -v wine64 2>/dev/null)" "$(command -v wine 2>/dev/null)"; do
  if [ -n "$wine" ] && [ -x "$wine" ]; then
    exec "$wine" "$@"
  fi
done
echo "wine-run.sh: Wine is not installed; 'make test' installs it" >&2
exit 127
