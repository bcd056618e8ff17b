# What the Windows build scripts share; sourced, not run.
# The cache lives outside the work tree, so it is built once per machine.
cache="$HOME/.cache/vestrel"
# (Qt for Windows records this path: it must stay where it is.)
toolchain="$cache/qt6-build/toolchain.cmake"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
# Text with letters beyond ASCII is typed and compared (xdotool, wine, the
# exports): the scripts run in UTF-8 whatever the machine's locale is.
case "${LC_ALL:-${LANG:-}}" in
  *UTF-8*|*utf8*) ;;
  *) export LANG=C.UTF-8 LC_ALL=C.UTF-8 ;;
esac

# Installs the named Debian packages that are missing.
need_packages() {
  local missing=() p
  for p in "$@"; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq >&2
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# Fetches a Debian source package into the current folder through a private apt
# configuration that reads the machine's sources as deb-src (the machine's own stays untouched).
debian_source() {
  local apt="$cache/qt6-build/apt" f
  if [ ! -d "$apt/lists" ] || [ -z "$(ls "$apt/lists" 2>/dev/null | grep -v partial)" ]; then
    mkdir -p "$apt/sources" "$apt/lists/partial"
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" > "$apt/sources/$(basename "$f")"
    done
    apt-get -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources" \
      -o Dir::State::Lists="$apt/lists" update -qq >&2
  fi
  apt-get -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources" \
    -o Dir::State::Lists="$apt/lists" source --download-only "$1" >/dev/null 2>&1
}

# The CMake toolchain file for the MinGW-w64 cross compilers (posix threads).
write_toolchain() {
  mkdir -p "$(dirname "$toolchain")"
  cat > "$toolchain" <<'TC'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
TC
}

# Makes the named host folders (and /proc, /dev, the X sockets) seen at the same
# paths inside the wine 10 chroot; wine10_unmount takes them away again.
wine10_mounts=()
wine10_mount() {
  local root="$cache/trixie" d
  for d in /proc /dev /tmp/.X11-unix "$@"; do
    mkdir -p "$root$d"
    mountpoint -q "$root$d" && continue
    if [ "$d" = /proc ]; then mount -t proc proc "$root/proc"; else mount --bind "$d" "$root$d"; fi
    wine10_mounts+=("$root$d")
  done
}
wine10_unmount() {
  local i
  for ((i = ${#wine10_mounts[@]} - 1; i >= 0; i--)); do umount "${wine10_mounts[$i]}" 2>/dev/null || true; done
  wine10_mounts=()
}
