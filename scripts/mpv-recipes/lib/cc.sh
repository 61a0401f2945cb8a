# For the libraries built without their own build systems (which would need a native compiler or
# build more than mpv links): their files compiled one per core and archived.

# compile_each OUT COMPILER FLAGS... <FILES: each file named on standard input compiled into
# OUT/NAME.o, the stage's cflags first.
compile_each() {
  local out=$1
  shift
  xargs -P "$jobs" -I{} sh -c 'f=$1 out=$2; shift 2; n=${f##*/}; exec "$@" -c "$f" -o "$out/${n%.*}.o"' \
    sh {} "$out" "$1" $cflags "${@:2}"
}

# archive LIBRARY OBJECTS...: a static library of the objects, anew.
archive() {
  local library=$1
  shift
  mkdir -p "$(dirname "$library")"
  rm -f "$library"
  "$host-ar" rcs "$library" "$@"
}
