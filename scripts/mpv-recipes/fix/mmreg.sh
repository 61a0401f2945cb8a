# mingw-w64 12 (Debian 13) added KSDATAFORMAT_SUBTYPE_IEC61937_DOLBY_DIGITAL and _DTS to
# ksmedia.h, built from mmreg.h's WAVE_FORMAT_DOLBY_AC3_SPDIF and WAVE_FORMAT_DTS, without
# including mmreg.h. mpv 0.35.1's WASAPI output includes ksguid.h (which makes ksmedia.h define
# its GUIDs there) and ksmedia.h but not mmreg.h, so the two names are undeclared; it gets mmreg.h
# first, as mpv 0.40 has it.
fix_needed() {
  ! printf '#include <windows.h>\n#include <ksguid.h>\n#include <ksmedia.h>\n' |
    "$cc" -fsyntax-only -x c - >/dev/null 2>&1
}

fix_apply() {
  local c=$srcdir/audio/out/ao_wasapi_utils.c
  if ! grep -q '^#include <mmreg.h>' "$c"; then
    sed -i 's/^#include <ksguid.h>$/#include <mmreg.h>\n&/' "$c"
    grep -q '^#include <mmreg.h>' "$c"
  fi
}
