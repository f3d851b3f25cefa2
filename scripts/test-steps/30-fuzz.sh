#!/usr/bin/env bash
# Builds each fuzz target with clang's libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, replays its corpus, then fuzzes it for a bounded time.
# FUZZ_SECONDS sets the time per target (default 30).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
out="$root/build-fuzz"
mkdir -p "$out"
seconds=${FUZZ_SECONDS:-30}
flags=(-std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -I"$root/src" $(pkg-config --cflags Qt6Core Qt6Gui libmpg123))
libs=($(pkg-config --libs Qt6Core Qt6Gui libmpg123))

# target name, then the sources it needs besides its own file
targets=(
    "settings src/settings/settingsstore.cpp src/settings/colorvalue.cpp"
)
# Every playlist format, and whatever they share, is in src/playlist/.
[ -f fuzz/playlistreader_fuzz.cpp ] && targets+=("playlistreader $(echo src/playlist/*.cpp)")
[ -f fuzz/mp3decoder_fuzz.cpp ] &&
    targets+=("mp3decoder src/audio/mp3decoder.cpp src/audio/tagreader.cpp")

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for entry in "${targets[@]}"; do
    read -r name sources <<<"$entry"
    echo "-- fuzz $name for $seconds s"
    # shellcheck disable=SC2086
    clang++ "${flags[@]}" "fuzz/${name}_fuzz.cpp" $sources "${libs[@]}" -o "$out/${name}_fuzz"
    corpus="$root/fuzz/corpus/$name"
    work="$out/corpus-$name"
    rm -rf "$work"
    mkdir -p "$work"
    # New inputs go to a scratch folder; the committed corpus is only read.
    "$out/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$out/${name}-" \
        "$work" "$corpus" 2>&1 | tail -n 12
done
