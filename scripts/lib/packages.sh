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
    local sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q \
        --no-install-recommends "${missing[@]}"
}

# What every build needs.
ensure_build_packages() {
    ensure_packages cmake make g++ qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
        libbenchmark-dev
}
