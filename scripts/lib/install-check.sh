# Checks what the build installs and packages; sourced after common.sh, run after a build.

# check_install: installs the build into a scratch prefix; builds tests/consumer against it as a
# client application would, with find_package(Quillon) and with pkg-config; runs it alone and
# against the installed dvrd. Fails on the first broken step.
check_install() {
    local scratch=$build_dir/install-check
    rm -rf "$scratch"
    mkdir -p "$scratch"
    (check_install_in "$scratch")
}

# check_install_in SCRATCH: the steps, in a subshell that stops at the first failure and
# leaves its logs in SCRATCH.
check_install_in() {
    local scratch=$1 prefix=$1/prefix libdir port dvrd_pid
    cmake --install "$build_dir" --prefix "$prefix" >"$scratch/install.log"
    cmake -S "$root_dir/tests/consumer" -B "$scratch/consumer" -G Ninja \
        -DCMAKE_PREFIX_PATH="$prefix" >"$scratch/consumer.log"
    cmake --build "$scratch/consumer" >>"$scratch/consumer.log"

    export PKG_CONFIG_PATH
    PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name quillon.pc)")
    libdir=$(pkg-config --variable=libdir quillon)
    # shellcheck disable=SC2046 # the flags are separate words
    gcc -o "$scratch/consumer-pc" "$root_dir/tests/consumer/consumer.c" \
        -x c++ "$root_dir/tests/consumer/hostlink.cpp" -x none \
        $(pkg-config --cflags --libs quillon) -lTCPClientDLL -lstdc++ -Wl,-rpath,"$libdir"

    cp -r "$root_dir/samples" "$scratch/root"
    (umask 077 && echo admin:admin >"$scratch/admin")
    "$prefix/bin/dvrd" --root "$scratch/root" --port 0 --admin-file "$scratch/admin" \
        >"$scratch/dvrd.log" 2>&1 &
    dvrd_pid=$!
    # shellcheck disable=SC2064 # the server's pid, fixed now: the variable is gone at exit
    trap "kill $dvrd_pid 2>/dev/null" EXIT
    for _ in $(seq 100); do
        port=$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$scratch/dvrd.log")
        [ -n "$port" ] && break
        sleep 0.1
    done
    if [ -z "$port" ]; then
        echo "installed dvrd did not start:" >&2
        cat "$scratch/dvrd.log" >&2
        return 1
    fi
    export XDG_DATA_HOME=$scratch/data
    "$scratch/consumer/consumer"
    "$scratch/consumer/consumer" 127.0.0.1 "$port" admin admin
    "$scratch/consumer-pc" 127.0.0.1 "$port" admin admin
    if "$scratch/consumer/consumer" 127.0.0.1 "$port" admin wrong 2>/dev/null; then
        echo "the installed dvrd accepted a wrong password" >&2
        return 1
    fi
    echo "installed into a scratch prefix: consumer built by find_package and pkg-config, ran" \
        "and logged in to the installed dvrd"
}

# check_packages: builds the Debian packages, lists what each holds and needs, and fails when
# lintian finds an error (its warnings are shown).
check_packages() {
    local package report status=0
    rm -rf "$build_dir/packages"
    if ! (cd "$build_dir" && cpack -G DEB >"$build_dir/cpack.log" 2>&1); then
        cat "$build_dir/cpack.log" >&2
        return 1
    fi
    for package in "$build_dir"/packages/*.deb; do
        echo "== ${package##*/}"
        dpkg-deb -f "$package" Depends | sed 's/^/Depends: /'
        dpkg-deb -c "$package" | awk '$1 !~ /^d/ {print "  " $6 $7 $8}'
    done
    report=$(lintian --fail-on error "$build_dir"/packages/*.deb 2>&1) || status=$?
    printf '%s\n' "$report" | grep -v 'root privileges' || true
    return "$status"
}
