# shellcheck shell=bash
# Shared by scripts/deps, scripts/build, scripts/test and scripts/demo.
# Source it; it defines functions and the variable tk_root, and runs nothing.

tk_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

tk_say() { printf '%s\n' "$*" >&2; }

# Debian/Ubuntu packages needed to build and test the program.
tk_packages=(
  cmake
  build-essential
  qt6-base-dev
  qt6-qpa-plugins
  fonts-liberation
  fonts-dejavu-core
)

# What scripts/fuzz needs besides tk_packages: clang, and the runtime
# libraries of its sanitizers and of libFuzzer (the default clang's version).
tk_fuzz_packages=(
  clang
  libclang-rt-dev
)

# Installs with apt-get whatever of tk_packages is missing; nothing if all are there.
tk_deps() {
  if tk_apt_install_missing "${tk_packages[@]}"; then
    return 0
  fi
  command -v apt-get >/dev/null 2>&1 && return 1
  tk_say "deps: install CMake, a C++17 compiler and Qt 6 (Core, Widgets, Test) yourself."
}

# The same for tk_packages and tk_fuzz_packages together: tk_deps reads the
# list through bash's dynamic scope, so this local copy is the one it sees.
tk_fuzz_deps() {
  local tk_packages=("${tk_packages[@]}" "${tk_fuzz_packages[@]}")
  tk_deps
}

# Options for every build that scripts/test makes; CI sets
# TK_WARNINGS_AS_ERRORS=ON, so that a warning fails it.
tk_cmake_options=(-DTK_WARNINGS_AS_ERRORS="${TK_WARNINGS_AS_ERRORS:-OFF}")

# Configures and builds the Release build in $tk_root/build.
tk_build() {
  cmake -S "$tk_root" -B "$tk_root/build" -DCMAKE_BUILD_TYPE=Release "${tk_cmake_options[@]}"
  cmake --build "$tk_root/build" -j2
}

# Fails when the program holds any of the tests' hooks into the file layer:
# they live only in the test build of that layer. Symbols named "default"
# are Qt's and the C++ library's own, not hooks.
#   tk_check_no_test_hooks PROGRAM [NM]
tk_check_no_test_hooks() {
  local program="$1" nm="${2:-nm}" found
  found="$("$nm" -C "$program" | grep -i -e fault -e injectedError | grep -vi default || true)"
  if [[ -n "$found" ]]; then
    tk_say "check: $program holds test hooks:"
    tk_say "$found"
    return 1
  fi
  tk_say "check: $program holds no test hooks"
}

# Fails when the command-line program loads a window library: it must start
# over a remote shell, and as fast as a QtCore program.
#   tk_check_core_only PROGRAM [OBJDUMP]
tk_check_core_only() {
  local program="$1" objdump="${2:-objdump}" found
  found="$("$objdump" -p "$program" | grep -E 'NEEDED|DLL Name' | grep -E -i 'Qt6?(Gui|Widgets)' || true)"
  if [[ -n "$found" ]]; then
    tk_say "check: $program loads a window library: $found"
    return 1
  fi
  tk_say "check: $program loads QtCore only"
}

# Gives every student that a class page links to a home folder made from the
# master template, as the school's own yearly build would have; the sample
# ships only the class pages, so that it stays small.
tk_make_student_folders() {
  local intranet="$1" page folder name class_dir
  local master="$intranet/2026/masterstudent"
  for page in "$intranet"/2026/*/*/index.htm; do
    class_dir="$(dirname "$page")"
    while IFS=$'\t' read -r folder name; do
      [[ -e "$class_dir/$folder" ]] && continue
      cp -R "$master" "$class_dir/$folder"
      # The name is data to perl, never part of a script: & | / \ stay as typed.
      NAME="$name" perl -pi -e 's/New Student/$ENV{NAME}/' "$class_dir/$folder/index.htm"
    done < <(sed -n 's|.*<li><a href="\([^"/]*\)/index.htm">\([^<]*\)</a></li>.*|\1\t\2|p' "$page")
  done
}

# ---------------------------------------------------------------------------
# Windows cross-build (scripts/windows): MinGW-w64, a static Qt for Windows
# built once from Debian's qt6-base source into a cache, and Wine to run tests.

# Debian packages needed to cross-build for Windows and run the tests under Wine.
tk_windows_packages=(
  cmake
  ninja-build
  perl
  dpkg-dev
  qt6-base-dev
  qt6-base-dev-tools
  g++-mingw-w64-x86-64-posix
  mingw-w64-tools
  wine
  wine64
  xvfb
  xauth
  zip
  fonts-liberation
  fonts-dejavu-core
)

# Installs with apt-get whichever of the named packages is missing.
tk_apt_install_missing() {
  if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    tk_say "deps: not a Debian/Ubuntu system (no dpkg-query/apt-get); install these yourself: $*"
    return 1
  fi
  local missing=() p status
  for p in "$@"; do
    status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
    if [[ "$status" != "install ok installed" ]]; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]} == 0)); then
    return 0
  fi
  tk_say "deps: installing: ${missing[*]}"
  tk_as_root apt-get update
  tk_as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
}

# Runs a command as root: directly when root, else through sudo.
tk_as_root() {
  if ((EUID == 0)); then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    tk_say "not root and sudo is not available; run as root: $*"
    return 1
  fi
}

# Installs whatever of tk_windows_packages is missing.
tk_windows_deps() {
  tk_apt_install_missing "${tk_windows_packages[@]}"
}

# Where the Windows build keeps Qt's source, the built Qt and the Wine prefix.
tk_windows_cache() {
  printf '%s\n' "${XDG_CACHE_HOME:-$HOME/.cache}/tkaddstudent"
}

# The CMake toolchain file for MinGW-w64.
tk_windows_toolchain="$tk_root/cmake/mingw-w64-x86_64.cmake"

# Qt for Windows is configured with these options (besides the paths). Only
# QtCore, QtGui, QtWidgets and QtTest are needed. The Debian source lacks the
# wintab header, hence no tablet events; "-no-opengl" (INPUT_opengl=no) also
# turns dynamicgl off, without which Qt 6.4.2's Windows platform plugin does
# not compile with OpenGL off. Direct2D stays on, as Qt's DirectWrite font
# engine and font database are only built with it, but its own platform
# plugin (direct2d1_1) is not needed.
tk_windows_qt_options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DINPUT_opengl=no
  -DFEATURE_opengl=OFF
  -DFEATURE_opengl_dynamic=OFF
  -DFEATURE_dynamicgl=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_network=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_direct2d1_1=OFF
  -DFEATURE_androiddeployqt=OFF
  -DFEATURE_pkg_config=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_zstd=OFF
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_doubleconversion=OFF
)

# Prints the Debian version of the host Qt (qt6-base-dev), e.g. 6.4.2+dfsg-10;
# the Qt for Windows is built from the source of exactly that version.
tk_windows_qt_debian_version() {
  dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null
}

# Prints the cache folder for Qt for Windows, keyed by Qt's version, the
# options, the toolchain file and the MinGW compiler version, whether it is
# built or not.
tk_windows_qt_prefix() {
  local debver upstream key
  debver="$(tk_windows_qt_debian_version)" || return 1
  [[ -n "$debver" ]] || return 1
  upstream="${debver%%+*}"
  upstream="${upstream%%-*}"
  key="$({
    printf '%s\n' "$debver" "${tk_windows_qt_options[@]}"
    cat "$tk_windows_toolchain"
    x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null || true
  } | sha256sum | cut -c1-10)"
  printf '%s\n' "$(tk_windows_cache)/qt-$upstream-mingw64-static-$key"
}

# Prints the folder of the cached Qt for Windows if it is built and installed;
# returns 1 (printing nothing) if it is not. scripts/windows builds it.
tk_windows_qt_dir() {
  local prefix
  prefix="$(tk_windows_qt_prefix)" || return 1
  if [[ -f "$prefix/.tk-complete" && -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]]; then
    printf '%s\n' "$prefix"
  else
    return 1
  fi
}
