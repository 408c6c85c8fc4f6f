# Sourced with one argument, a folder of the build's own: sets up the
# environment for running Windows programs under Wine there, and creates the
# Wine prefix on first use.
#
# Every Wine process gets a HOME and XDG folders inside that folder, because
# Wine maps the Windows recycle bin onto the Linux desktop's trash: nothing
# run here may see or empty the Linux user's own trash.
qo_wine_root=$(realpath -m "$1")
mkdir -p "$qo_wine_root/home"
export WINEPREFIX="$qo_wine_root/prefix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers on prefix creation.
export WINEDLLOVERRIDES="mscoree,mshtml="
export HOME="$qo_wine_root/home"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_CACHE_HOME="$HOME/.cache"
# Where the machine runs no 32-bit code only Wine's 64-bit loader starts (the
# tests then run a 64-bit build). Debian's wine, wineboot, winepath, ... all
# go through wine-stable, which would pick the 32-bit loader.
. "$(dirname "${BASH_SOURCE[0]}")/machine.sh"
if ! machine_runs_32bit_code; then
  mkdir -p "$qo_wine_root/bin"
  for name in wine wine-stable; do
    [ -x "$qo_wine_root/bin/$name" ] && continue
    # Written aside and moved in: a Wine process may be starting through it.
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' > "$qo_wine_root/bin/.$name.$$"
    chmod +x "$qo_wine_root/bin/.$name.$$"
    mv -f "$qo_wine_root/bin/.$name.$$" "$qo_wine_root/bin/$name"
  done
  export PATH="$qo_wine_root/bin:$PATH" WINELOADER=/usr/lib/wine/wine64
fi

if [ ! -f "$WINEPREFIX/.qo-ready" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.qo-ready" ]; then
      wineboot --init >/dev/null 2>&1
      # The program is tested as it runs on Windows 10.
      wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.qo-ready"
    fi
  ) 9>"$qo_wine_root/.lock"
fi
