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

# Installs with apt-get whatever of tk_packages is missing; nothing if all are there.
tk_deps() {
  if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    tk_say "deps: not a Debian/Ubuntu system (no dpkg-query/apt-get); install CMake, a C++17 compiler and Qt 6 (Core, Widgets, Test) yourself."
    return 0
  fi
  local missing=() p status
  for p in "${tk_packages[@]}"; do
    status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
    if [[ "$status" != "install ok installed" ]]; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]} == 0)); then
    tk_say "deps: all build and test packages are already installed."
    return 0
  fi
  local sudo=()
  if ((EUID != 0)); then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      tk_say "deps: missing packages: ${missing[*]}"
      tk_say "deps: not root and sudo is not available; install them as root, then run this again."
      return 1
    fi
  fi
  tk_say "deps: installing: ${missing[*]}"
  "${sudo[@]}" apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
}

# Configures and builds the Release build in $tk_root/build.
tk_build() {
  cmake -S "$tk_root" -B "$tk_root/build" -DCMAKE_BUILD_TYPE=Release
  cmake --build "$tk_root/build" -j2
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
