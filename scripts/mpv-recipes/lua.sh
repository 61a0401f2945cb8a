# Lua 5.2, the library alone, static: Lua's own makefile builds a DLL and lua.exe for mingw. mpv
# needs it: without it mpv rejects --osc and --script-opts, which the plug-in always passes.
sources=(bookworm/lua5.2)
use cc
use pc

build() {
  rm -rf "$builddir" && mkdir -p "$builddir" "$prefix/include/lua5.2"
  cd "$srcdir/src"
  ls *.c | grep -vx -e lua.c -e luac.c | compile_each "$builddir" "$cc" -DLUA_COMPAT_ALL
  archive "$prefix/lib/liblua5.2.a" "$builddir"/*.o
  cp lua.h luaconf.h lualib.h lauxlib.h lua.hpp "$prefix/include/lua5.2/"
  write_pc "$prefix" lua5.2 Lua "Lua 5.2 language engine, static" 5.2.4 -llua5.2 \
    '-I${prefix}/include/lua5.2'
}
