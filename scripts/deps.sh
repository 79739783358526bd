# Sourced by the scripts: installs the Debian packages a command needs when
# they are missing. Installing needs root; otherwise the missing packages
# are named and the script stops.
zk_ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building and testing the project needs.
ZK_BUILD_PACKAGES=(build-essential cmake pkg-config libgtest-dev libgmock-dev libsqlite3-dev
  liblmdb-dev libbenchmark-dev libedit-dev tmux groff-base unixodbc unixodbc-dev odbcinst
  python3-pyodbc)

# What building the comparison benchmark with SQLite needs (no tests), and
# the sqlite3 shell its shell-to-shell memory figure runs.
ZK_BENCH_PACKAGES=(build-essential cmake pkg-config liblmdb-dev libedit-dev libsqlite3-dev
  sqlite3)
