# Shared by the scripts: where things are, and installing what a fresh Debian 12 machine lacks.

root_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir=${QUILLON_BUILD_DIR:-$root_dir/build}
build_packages=(cmake ninja-build make g++ qt6-base-dev libssl-dev)
# The window's tests measure Chinese texts, which need a font that has their characters.
test_packages=(fonts-wqy-microhei)
# The layout check: every tracked C and C++ file as the repository's .clang-format lays it out.
format_packages=(clang-format)
# Building and checking the Debian packages: dpkg-shlibdeps, file and lintian; pkg-config for the
# consumer built against the installed tree.
packaging_packages=(dpkg-dev file lintian pkg-config)
# Running the Ansible collection's playbook test (tests/ansible).
collection_packages=(ansible-core)

# ensure_packages PACKAGE...: installs the missing ones when running as root, else names them.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing Debian packages: ${missing[*]} (run as root to install them)" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build [CMAKE_OPTION...]: configures once and builds everything.
build() {
    cmake -S "$root_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$build_dir" -j "$(nproc)"
}

# build_documents_default_generator: `cmake -S . -B b && cmake --build b` must work too; the
# default generator makes no folder for a command's output, so the documents target shows it.
build_documents_default_generator() {
    local dir="$build_dir-default-generator"
    cmake -S "$root_dir" -B "$dir" -DQUILLON_BUILD_TESTS=OFF -DQUILLON_BUILD_BENCH=OFF >/dev/null
    cmake --build "$dir" --target installed-documents
}

fuzz_build_dir=${QUILLON_FUZZ_BUILD_DIR:-$root_dir/build-fuzz}
fuzz_packages=(clang libclang-rt-14-dev)

# run_fuzzers SECONDS: builds the fuzzers with clang and runs each for that long on a working
# copy of its seed corpus. Fails on the first finding; the input is kept in build-fuzz/findings.
run_fuzzers() {
    local seconds=$1 fuzzer name corpus log
    cmake -S "$root_dir" -B "$fuzz_build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FUZZ=ON -DQUILLON_BUILD_TESTS=OFF \
        -DQUILLON_BUILD_BENCH=OFF >/dev/null
    cmake --build "$fuzz_build_dir" --target fuzzers -j "$(nproc)"
    mkdir -p "$fuzz_build_dir/findings"
    for fuzzer in "$fuzz_build_dir"/bin/fuzz_*; do
        name=${fuzzer##*/fuzz_}
        corpus="$fuzz_build_dir/corpus/$name"
        mkdir -p "$corpus"
        cp -n "$root_dir/fuzz/corpus/$name"/* "$corpus/" 2>/dev/null || true
        log="$fuzz_build_dir/fuzz_$name.log"
        # The whole window must load and save any input within 2 s; the others are far quicker.
        if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 -timeout=2 \
            -artifact_prefix="$fuzz_build_dir/findings/$name-" "$corpus" >"$log" 2>&1; then
            echo "fuzz_$name: FINDING (see $log)" >&2
            tail -n 30 "$log" >&2
            return 1
        fi
        printf 'fuzz_%-10s %s\n' "$name" "$(grep -E '^#[0-9]+.*DONE' "$log" | tail -n 1)"
    done
}
