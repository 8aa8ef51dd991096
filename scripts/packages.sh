# Sourced by the scripts: need_packages WHAT PACKAGE... makes sure the Debian
# packages are installed: as root it installs the missing ones with apt-get,
# otherwise it prints the apt-get line and fails.
need_packages() {
  local what=$1 p
  shift
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" = 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  else
    echo "$what needs these Debian packages. Install them with:"
    echo "  sudo apt-get install -y ${missing[*]}"
    return 1
  fi
}
