# Sourced by run.sh and test.sh: installs the Debian packages the build and
# the tests need, or says how to when not running as root.
VARLO_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev qt6-base-dev
                libgl-dev python3-serial clang libclang-rt-14-dev
                xvfb xauth xdotool fonts-dejavu-core desktop-file-utils dpkg-dev
                poppler-utils groff-base file openbox x11-utils)

varlo_ensure_packages() {
  local missing=()
  local p
  for p in "${VARLO_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds into the folder given, with the sanitizer given;
# under CI (CI=true) warnings are errors.
varlo_build() {
  local dir=$1 sanitize=${2:-}
  local type=RelWithDebInfo
  local werror=OFF
  [ "${CI:-}" = true ] && werror=ON
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=$type -DVARLO_SANITIZE="$sanitize" \
    -DVARLO_WERROR=$werror >/dev/null
  cmake --build "$dir" -j2
}
