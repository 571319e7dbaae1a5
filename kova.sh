#!/bin/sh
# Installs what is missing, builds, then starts the program ("run") or runs every test ("test").
# Meant for a Debian 12 machine where you are root; a second run installs nothing and builds
# incrementally. Extra arguments after "run" go to the program.
set -eu
cd "$(dirname "$0")"
mode=${1:-run}
[ $# -gt 0 ] && shift

packages="cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libqt6test6 libgl-dev
    libzip-dev zlib1g-dev libjpeg62-turbo-dev libcurl4-openssl-dev libpugixml-dev libgtest-dev
    libgmock-dev libbenchmark-dev locales desktop-file-utils xdg-utils shared-mime-info
    libjpeg-turbo-progs zip unzip clang-format"
installed=$(dpkg-query -W -f='${Package} ${Status}\n' $packages 2>/dev/null |
    awk '/ install ok installed$/ { print $1 }')
missing=""
for p in $packages; do
    echo "$installed" | grep -qx "$p" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
fi

# One test runs with a locale whose decimal separator is a comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/; s/^# *\(en_US.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    locale-gen >/dev/null
fi

build=build
# Configured once; later builds re-run the configure by themselves when a CMake file changed.
# The test command builds with warnings as errors, as CI does: a tree first configured by "run"
# is configured again for it.
werror=OFF
[ "$mode" = test ] && werror=ON
if [ ! -f "$build/build.ninja" ] ||
    { [ "$werror" = ON ] && ! grep -qx 'KOVA_WERROR:BOOL=ON' "$build/CMakeCache.txt"; }; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_WERROR=$werror \
        >/dev/null
fi

case "$mode" in
    run)
        # The program alone: tests and benchmarks wait for the test command.
        cmake --build "$build" --target kova
        exec "$build/bin/kova" "$@"
        ;;
    test)
        cmake --build "$build"
        jobs=$(nproc)
        ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600
        ;;
    *)
        echo "usage: $0 [run|test] [program arguments]" >&2
        exit 2
        ;;
esac
