# Debian packages the project needs, and the check that installs them.
# Sourced by tools/run and tools/test.

QX_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libpng-dev libx11-dev
  libmpfr-dev libgmp-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth locales libxtst-dev python3 xdotool
  xscreensaver desktop-file-utils man-db libxml2-utils
  dpkg-dev file lintian appstream
  clang libclang-rt-14-dev
  libwayland-dev wayland-protocols libegl-dev libxkbcommon-dev qt6-wayland
  sway swaybg grim wtype swayidle
)

qx_ensure_packages() {
  local missing=()
  local p
  for p in "${QX_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing Debian packages: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  if ! apt-get install -y -q "${missing[@]}"; then
    apt-get update -q
    apt-get install -y -q "${missing[@]}"
  fi
}

# Configures build/ once (Release) and builds the given targets (all when none).
qx_build() {
  local root="$1"; shift
  if [ ! -f "$root/build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${QX_CMAKE_ARGS[@]}"
  elif [ ${#QX_CMAKE_ARGS[@]} -gt 0 ]; then
    cmake -S "$root" -B "$root/build" "${QX_CMAKE_ARGS[@]}" >/dev/null
  fi
  cmake --build "$root/build" "$@"
}
