#!/usr/bin/env bash
# The library as a user gets it, from the built tree (nothing is rebuilt):
#   1. `cmake --install` into a scratch prefix: the shared library's SONAME and links.
#   2. the Debian packages cpack makes from the same tree: names, Depends, shlibs,
#      contents (dpkg-deb -c), and that together they hold exactly what `cmake --install`
#      installs; unpacked with `dpkg -x` into a scratch root.
#   3. in both trees, the program in consumer/ built and run four ways: find_package with
#      the shared and with the static target, pkg-config with the shared library and fully
#      static (pkg-config --static).
#
#   packaging_test.sh BUILD_DIR LIBDIR VERSION CMAKE CPACK CXX
# LIBDIR is the build's CMAKE_INSTALL_LIBDIR (relative to the prefix), VERSION the project's.
set -euo pipefail
build=$1 libdir=$2 version=$3 cmake=$4 cpack=$5 cxx=$6
major=${version%%.*}
here=$(cd "$(dirname "$0")" && pwd)
work=$build/tests/packaging/work
prefix=$work/prefix debs=$work/debs root=$work/root
rm -rf "$work"; mkdir -p "$work"

failures=0
fail() { echo "packaging: FAIL: $*" >&2; failures=$((failures + 1)); }
step() {  # step LOG CMD...: runs CMD with its output in LOG; on failure shows the log's end
  local log=$1; shift
  if ! "$@" >"$log" 2>&1; then tail -n 30 "$log" >&2; return 1; fi
}
needed() { objdump -p "$1" | awk '$1 == "NEEDED" { print $2 }'; }

check_install() {
  local lib=$prefix/$libdir soname link
  soname=$(objdump -p "$lib/libvelmysql.so.$version" | awk '$1 == "SONAME" { print $2 }')
  [ "$soname" = "libvelmysql.so.$major" ] || fail "SONAME is '$soname', not libvelmysql.so.$major"
  for link in "libvelmysql.so.$major:libvelmysql.so.$version" "libvelmysql.so:libvelmysql.so.$major"; do
    [ "$(readlink "$lib/${link%%:*}")" = "${link#*:}" ] || fail "$lib/${link%%:*} does not point to ${link#*:}"
  done
}

check_packages() {
  local arch runtime=libvelmysql$major row pkg has hasnot deps deb depends d
  arch=$(dpkg --print-architecture)
  # package : a file it must hold : a file it must not hold : packages its Depends must name
  for row in "$runtime:usr/$libdir/libvelmysql.so.$version:usr/$libdir/libvelmysql.so:libc6 libstdc++6 zlib1g" \
             "libvelmysql-dev:usr/include/velmysql/server/mysql_server.h:usr/$libdir/libvelmysql.so.$version:$runtime zlib1g-dev"; do
    IFS=: read -r pkg has hasnot deps <<<"$row"
    deb=$debs/${pkg}_${version}_$arch.deb
    if [ ! -f "$deb" ]; then fail "no $deb"; continue; fi
    dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' >"$work/$pkg.contents"
    grep -qx "$has" "$work/$pkg.contents" || fail "$pkg lacks $has"
    ! grep -qx "$hasnot" "$work/$pkg.contents" || fail "$pkg holds $hasnot"
    depends=$(dpkg-deb -f "$deb" Depends)
    for d in $deps; do  # the package names, without their versions
      grep -qxF "$d" <<<"$(sed 's/ ([^)]*)//g; s/, */\n/g' <<<"$depends")" || fail "$pkg: Depends ($depends) lacks $d"
    done
    dpkg -x "$deb" "$root"
  done
  [[ $(dpkg-deb -f "$debs/libvelmysql-dev_${version}_$arch.deb" Depends) == *"$runtime (= $version)"* ]] \
    || fail "libvelmysql-dev does not depend on $runtime (= $version)"
  grep -qx "libvelmysql $major $runtime (>= $version)" \
    <<<"$(dpkg-deb --ctrl-tarfile "$debs/${runtime}_${version}_$arch.deb" | tar -xO ./shlibs)" || fail "$runtime has no shlibs line for libvelmysql $major"
  # Any other package is the programs' one; together they hold what `cmake --install` installs.
  for deb in "$debs"/*.deb; do
    case $(basename "$deb") in
      "${runtime}_"* | libvelmysql-dev_*) ;;
      velmysql_*) dpkg -x "$deb" "$root" ;;
      *) fail "unexpected package $deb" ;;
    esac
  done
  # Stripped of debugging sections like a distribution's libraries (the static archive too).
  for f in "usr/$libdir/libvelmysql.so.$version" "usr/$libdir/libvelmysql.a"; do
    ! grep -q '\.debug_info' <<<"$(objdump -h "$root/$f")" || fail "$f in the package keeps its debugging sections"
  done
  (cd "$prefix" && find . ! -type d | sort) >"$work/installed.list"
  (cd "$root/usr" && find . ! -type d | sort) >"$work/packaged.list"
  diff "$work/installed.list" "$work/packaged.list" >&2 || fail "the packages do not hold what cmake --install installs"
}

run() {  # run WHAT PROGRAM LIBDIR yes|no|none: it loads LIBDIR's libvelmysql / not / nothing at all
  local what=$1 prog=$2 lib=$3 shared=$4 libs from
  libs=$(needed "$prog")
  case $shared in
    yes) if grep -qx "libvelmysql.so.$major" <<<"$libs"; then
           from=$(ldd "$prog" | awk '$1 ~ /^libvelmysql/ { print $3 }')
           [ "$(dirname "$(realpath "$from")")" = "$(realpath "$lib")" ] || fail "$what: loads '$from'"
         else
           fail "$what: does not load libvelmysql.so.$major"
         fi ;;
    no) ! grep -q libvelmysql <<<"$libs" || fail "$what: loads the shared library" ;;
    none) [ -z "$libs" ] || fail "$what: not static, needs $libs" ;;
  esac
  if "$prog" >"$prog.out" 2>&1 && grep -qx "consumer ok" "$prog.out"; then
    echo "packaging: $what: ok"
  else
    cat "$prog.out" >&2; fail "$what: the program failed"
  fi
}

consume() {  # consume NAME PREFIX
  local name=$1 pfx=$2 out=$work/$1 found
  local lib=$pfx/$libdir
  local pc=(env PKG_CONFIG_PATH="$lib/pkgconfig" pkg-config)
  mkdir -p "$out"
  # find_package: the imported targets bring the include directory, C++20 and the links;
  # CMake gives the program a run path to the library it linked.
  if step "$out/cmake.log" "$cmake" -S "$here/consumer" -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
       -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$pfx" \
     && step "$out/cmake-build.log" "$cmake" --build "$out/cmake"; then
    found=$(sed -n 's/^velmysql_DIR:PATH=//p' "$out/cmake/CMakeCache.txt")
    [ "$found" = "$lib/cmake/velmysql" ] || fail "$name: find_package took '$found'"
    run "$name find_package shared" "$out/cmake/app_shared" "$lib" yes
    run "$name find_package static" "$out/cmake/app_static" "$lib" no
  else
    fail "$name: the find_package consumer does not build"
  fi
  # pkg-config: Cflags bring the include directory and C++20, Libs the library, and
  # --static everything a fully static link needs.
  [ "$(realpath "$("${pc[@]}" --variable=prefix velmysql)")" = "$(realpath "$pfx")" ] \
    || fail "$name: velmysql.pc names the prefix '$("${pc[@]}" --variable=prefix velmysql)'"
  if step "$out/pc.log" "$cxx" -c "$here/consumer/app.cpp" -o "$out/app.o" $("${pc[@]}" --cflags velmysql); then
    if step "$out/pc-shared.log" "$cxx" "$out/app.o" -o "$out/app_pc_shared" $("${pc[@]}" --libs velmysql); then
      LD_LIBRARY_PATH=$lib run "$name pkg-config shared" "$out/app_pc_shared" "$lib" yes
    else
      fail "$name: the pkg-config shared link"
    fi
    if step "$out/pc-static.log" "$cxx" -static "$out/app.o" -o "$out/app_pc_static" \
         $("${pc[@]}" --static --libs velmysql); then
      run "$name pkg-config static" "$out/app_pc_static" "$lib" none
    else
      fail "$name: the pkg-config static link"
    fi
  else
    fail "$name: the pkg-config consumer does not compile"
  fi
}

step "$work/install.log" "$cmake" --install "$build" --prefix "$prefix"
check_install
consume install "$prefix"
if step "$work/cpack.log" "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$debs"; then
  check_packages
  consume deb "$root/usr"
else
  fail "cpack -G DEB"
fi

[ "$failures" = 0 ] || { echo "packaging: $failures failure(s)" >&2; exit 1; }
echo "packaging: all ok"
