# write_pc PREFIX FILE NAME DESCRIPTION VERSION LIBS CFLAGS: PREFIX/lib/pkgconfig/FILE.pc for a
# static library built here, where its own build would write none or one that names the shared
# one. LIBS and CFLAGS may use ${prefix}.
write_pc() {
  mkdir -p "$1/lib/pkgconfig"
  cat >"$1/lib/pkgconfig/$2.pc" <<EOC
prefix=$1
Name: $3
Description: $4
Version: $5
Libs: -L\${prefix}/lib $6
Cflags: $7
EOC
}
