#!/usr/bin/env bash
# Installs the build into a fresh prefix and uses only what is there: hosts
# built with `pkg-config --cflags --libs zksql` (host.c, and the example
# minimal_host.c) run against the installed libraries (found through their
# RUNPATH, and through LD_LIBRARY_PATH), the installed shell runs
# statements, and both still work once the whole installation is moved;
# host.c built by CMake with find_package(zksql) runs too.
#   install_test.sh BUILD_DIR SOURCE_DIR CC PKG_CONFIG CMAKE
set -u
build=$1 source=$(cd "$2" && pwd) cc=$3 pkgconfig=$4 cmake=${5:-cmake}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $1"
  exit 1
}
unset LD_LIBRARY_PATH JXENGINE_LIBRARY ZKPLATFORM_LIBRARY

cmake --install "$build" --prefix "$work/prefix" > "$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; }
for f in bin/zksql include/zksql.h include/jxengine.h include/zkglobal.h; do
  [[ -f $work/prefix/$f ]] || fail "$f is not installed"
done
pc=$(find "$work/prefix" -name zksql.pc)
[[ -n $pc ]] || fail "zksql.pc is not installed"
libdir=$(dirname "$(dirname "$pc")")
for lib in libzksql.so libjxengine.so libzkplatform.so; do
  [[ -f $libdir/$lib ]] || fail "$lib is not in $libdir"
  # Versioned: the SONAME is libNAME.so.MAJOR, and the plain name (which
  # libzksql loads the engine by) leads to the same file.
  soname=$(objdump -p "$libdir/$lib" | awk '$1 == "SONAME" { print $2 }')
  [[ $soname == "$lib".[0-9]* ]] || fail "$lib has the SONAME '$soname'"
  [[ -L $libdir/$lib && $(readlink -f "$libdir/$lib") == $(readlink -f "$libdir/$soname") ]] ||
    fail "$lib does not lead to $soname"
done

# Builds host.c against the installation under PREFIX, into OUT.
build_host() {
  local flags
  flags=$(PKG_CONFIG_PATH=$(dirname "$(find "$1" -name zksql.pc)") "$pkgconfig" --cflags --libs \
    zksql) || fail "pkg-config does not know zksql"
  [[ $flags == *"$1"* ]] || fail "pkg-config points outside the installation: $flags"
  # shellcheck disable=SC2086
  "$cc" -std=c11 -Wall -Werror -o "$2" "$source/tests/install/host.c" $flags \
    -Wl,-rpath,"$(dirname "$(find "$1" -name libzksql.so)")" || fail "the host does not build"
}

build_host "$work/prefix" "$work/host"
# Every library the host loads comes from the installation.
ldd "$work/host" | grep -E 'libzksql|libjxengine|libzkplatform' | grep -v "$work/prefix" &&
  fail "the host loads a library from outside the installation"
"$work/host" "$work/db1" || fail "the host built with its RUNPATH"

# Without a RUNPATH the loader's path finds them.
"$cc" -std=c11 -o "$work/host_plain" "$source/tests/install/host.c" \
  $(PKG_CONFIG_PATH=$(dirname "$pc") "$pkgconfig" --cflags --libs zksql) ||
  fail "the host does not build without a RUNPATH"
LD_LIBRARY_PATH=$libdir "$work/host_plain" "$work/db2" || fail "the host through LD_LIBRARY_PATH"

# The example host of the repository builds the same way.
"$cc" -std=c11 -o "$work/minimal_host" "$source/examples/minimal_host.c" \
  $(PKG_CONFIG_PATH=$(dirname "$pc") "$pkgconfig" --cflags --libs zksql) -Wl,-rpath,"$libdir" ||
  fail "examples/minimal_host.c does not build"
# It makes its database, fills a table and prints the rows.
out=$("$work/minimal_host" "$work/minimal_db") || fail "examples/minimal_host.c"
expected=$'3 columns, 3 rows\npomme | 2.5 | 120\npoire | 3.2 | 45\nabricot | 4.75 | 8'
[[ $out == "$expected" ]] || fail "examples/minimal_host.c printed: $out"

# The installed shell finds its libraries and the engine by itself.
out=$("$work/prefix/bin/zksql" --create "$work/db3" "CREATE TABLE T (A INTEGER)" \
  "INSERT INTO T VALUES (42)" "SELECT A FROM T") || fail "the installed shell"
[[ $out == 42 ]] || fail "the installed shell printed: $out"

# Moved as a whole, the installation still works: paths are relative.
mv "$work/prefix" "$work/moved"
"$work/moved/bin/zksql" "$work/db3" "SELECT A FROM T" > /dev/null || fail "the moved shell"
build_host "$work/moved" "$work/host_moved"
"$work/host_moved" "$work/db4" || fail "the host built against the moved installation"
# A CMake host finds the moved installation through its package file.
"$cmake" -S "$source/tests/install/cmake_host" -B "$work/cmake_host" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$work/moved" -DHOST_SOURCE="$source/tests/install/host.c" \
  > "$work/cmake_host.log" 2>&1 &&
  "$cmake" --build "$work/cmake_host" >> "$work/cmake_host.log" 2>&1 ||
  { cat "$work/cmake_host.log"; fail "the host does not build with find_package(zksql)"; }
"$work/cmake_host/host" "$work/db5" || fail "the host built with find_package(zksql)"
echo "install: headers, libraries, zksql.pc, the CMake package and the shell work from the prefix"
