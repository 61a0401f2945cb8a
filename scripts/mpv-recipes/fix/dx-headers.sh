# mpv 0.40's Direct3D 11 code needs DirectX headers newer than bookworm's mingw-w64 (10) has:
# IDXGIInfoQueue (dxgidebug.h, mingw-w64 11) and the G24 colour spaces (dxgicommon.h). There it
# takes trixie's Direct3D 11 and DXGI headers, from its mingw-w64-common package (the headers, the
# same for every architecture), from a directory (dx_include) named first on its include path, so
# that meson's checks of those headers see them too. They declare interfaces only: mpv loads
# d3d11.dll and dxgi.dll at run time.
fix_needed() {
  ! printf '#include <windows.h>\n#include <dxgi1_6.h>\n#include <dxgidebug.h>\n%s\n%s\n' \
    'IDXGIInfoQueue *queue;' \
    'int space = DXGI_COLOR_SPACE_RGB_STUDIO_G24_NONE_P709;' |
    "$cc" -fsyntax-only -x c - >/dev/null 2>&1
}

fix_apply() {
  dx_include=$tp/mingw-w64-dx
  (
    rm -rf "$dx_include" "$tp/mingw-w64-common" && mkdir -p "$dx_include" "$tp/mingw-w64-common"
    cd "$tp/mingw-w64-common"
    APT_CONFIG=$tp/apt-trixie/apt.conf apt-get download mingw-w64-common
    dpkg-deb --fsys-tarfile mingw-w64-common_*_all.deb | tar -x --wildcards \
      './usr/share/mingw-w64/include/d3d11*.h' './usr/share/mingw-w64/include/dxgi*.h' \
      './usr/share/mingw-w64/include/d3dcommon.h'
    cp usr/share/mingw-w64/include/*.h "$dx_include/"
  )
}
