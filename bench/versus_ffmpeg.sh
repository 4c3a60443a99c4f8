#!/usr/bin/env bash
# Renders the same 4096x4096 dome master from the same 4096x2048 PNG panorama with
# orvalen-render (defaults, one sample per pixel) and with ffmpeg's v360 filter, in pairs whose
# order alternates, one thread each and then two each, and prints the median ratio of the whole
# processes' wall times, ours / ffmpeg: below 1 is faster than ffmpeg.
#   bench/versus_ffmpeg.sh [ROUNDS]      (default 5; needs ffmpeg and the native build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
render=${ORVALEN_RENDER:-$root/build/native/tools/render/orvalen-render}
rounds=${1:-5}
command -v ffmpeg >/dev/null || { echo "versus_ffmpeg: ffmpeg is not installed" >&2; exit 1; }
[ -x "$render" ] || { echo "versus_ffmpeg: build the native preset first ($render)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=4096x2048 -frames:v 1 pano.png

ours() {
    "$render" --env pano.png --size 4096x4096 --samples 1 --threads "$1" --out ours.png >/dev/null
}
theirs() {
    ffmpeg -loglevel error -y -threads "$1" -filter_threads "$1" -i pano.png \
        -vf "v360=input=e:output=fisheye:h_fov=180:v_fov=180:interp=linear:w=4096:h=4096:pitch=90" \
        -frames:v 1 theirs.png
}
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

for threads in 1 2; do
    ratios=()
    for ((round = 0; round < rounds; round++)); do
        if ((round % 2 == 0)); then
            a=$(seconds ours "$threads")
            b=$(seconds theirs "$threads")
        else
            b=$(seconds theirs "$threads")
            a=$(seconds ours "$threads")
        fi
        ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", a / b }')")
        echo "threads $threads, round $((round + 1)): orvalen-render ${a} s, ffmpeg ${b} s"
    done
    median=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    echo "threads $threads: orvalen-render / ffmpeg, median of $rounds: $median"
done
