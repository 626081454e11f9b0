# Runs a command as root: through sudo when not root already.
as_root() {
    if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

# apt-get as root, waiting for its lock and asking nothing.
apt_get() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}

# Refreshes the package lists. A mirror caught mid-sync, or a list of a
# foreign architecture that lags behind, fails the update while the lists
# that matter came in fine; so it is tried twice and its status is only
# reported: whether the packages then install is what counts.
refresh_package_lists() {
    apt_get update -q && return 0
    echo "apt-get update failed; trying once more"
    sleep 5
    apt_get update -q && return 0
    echo "apt-get update failed again; going on with the lists it could fetch"
}

# Installs the Debian packages that are not installed yet. Safe to repeat.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        # Installed, even while another install holds its triggers back.
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
            grep -qE "^install ok (installed|triggers-pending|triggers-awaited)$" ||
            missing+=("$package")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "Installing: ${missing[*]}"
    refresh_package_lists
    apt_get install -y -q --no-install-recommends "${missing[@]}"
}

# What every build needs.
ensure_build_packages() {
    ensure_packages cmake make g++ qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
        libbenchmark-dev
}
