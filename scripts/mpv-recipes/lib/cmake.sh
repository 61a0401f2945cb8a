# What the CMake builds (the shader compilers) share: the cross toolchain, -O2 as everywhere else
# (CMake's Release is -O3), static libraries only, installed into 0.40's prefix.
cmake_options=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$tp/cross.cmake" -DCMAKE_BUILD_TYPE=Release
               -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
               -DCMAKE_C_FLAGS=-pipe -DCMAKE_CXX_FLAGS=-pipe
               -DCMAKE_INSTALL_PREFIX="$prefix40" -DCMAKE_INSTALL_LIBDIR=lib
               -DBUILD_SHARED_LIBS=OFF)

# The toolchain file is written to a temporary name and moved, as stages of two lanes may write it
# at the same time.
write_toolchain_file() {
  local file=$tp/cross.cmake.$BASHPID
  cat >"$file" <<EOC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_CXX_COMPILER $cxx)
set(CMAKE_RC_COMPILER $host-windres)
set(CMAKE_AR $(command -v $host-ar) CACHE FILEPATH "")
set(CMAKE_RANLIB $(command -v $host-ranlib) CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH $prefix40)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOC
  mv "$file" "$tp/cross.cmake"
}
