#!/bin/bash
# SPDX-License-Identifier: MIT
# Builds a fuzzer with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for the given number of seconds
# (default 600) on one core, at low priority: the MIME reader (the default)
# or the HTML view's page preparation ("html"):
#
#     bash tests/fuzz/run.sh [SECONDS] [mime|html]
#
# Needs clang and libfuzzer-14-dev. Works in ORVEX_FUZZ_DIR (default
# /tmp/orvex-fuzz): build/, seeds/ (written by make_corpus.py), corpus/
# (what the fuzzer found interesting; kept between runs) and artifacts/.
# ORVEX_FUZZ_MAX_LEN bounds the size of an input (default 65536 bytes: long
# enough for huge lines and headers, short enough to keep the pace up).
# Exits non-zero on a finding; copy the input it names into
# tests/fuzz/regressions/, where tst_mime_reader_inputs replays it.
set -euo pipefail

SECONDS_TO_RUN=${1:-600}
HERE=$(cd "$(dirname "$0")" && pwd)
case "${2:-mime}" in
    mime) TARGET=fuzz_mime_reader; DICT=(-dict="$HERE/mime.dict"); REGRESSIONS="$HERE/regressions" ;;
    html) TARGET=fuzz_html_view; DICT=(); REGRESSIONS="$HERE/html_seeds" ;;
    *) echo "run.sh: no fuzzer called $2 (mime or html)" >&2; exit 2 ;;
esac
WORK=${ORVEX_FUZZ_DIR:-/tmp/orvex-fuzz}/$TARGET
mkdir -p "$WORK/corpus" "$WORK/artifacts"

# The fuzzer's own tools are not part of dev/setup's list: the normal build
# and the tests never need them.
installed=$(dpkg-query -W -f='${Status}\n' clang libfuzzer-14-dev 2>/dev/null | grep -c "install ok installed" || true)
if [ "$installed" != 2 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "run.sh: needs clang and libfuzzer-14-dev (apt-get install clang libfuzzer-14-dev)" >&2
        exit 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang libfuzzer-14-dev >/dev/null
fi

cmake -S "$HERE" -B "$WORK/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=/usr/bin/clang -DCMAKE_CXX_COMPILER=/usr/bin/clang++ >/dev/null
nice cmake --build "$WORK/build" -j1 --target "$TARGET"

rm -rf "$WORK/seeds"
python3 "$HERE/make_corpus.py" "$WORK/seeds"

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
# Fonts the HTML view measures come from fontconfig, whose font set stays.
export LSAN_OPTIONS="suppressions=$HERE/../../dev/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

echo "fuzzing for $SECONDS_TO_RUN s; findings go to $WORK/artifacts/"
status=0
nice -n 10 "$WORK/build/$TARGET" "$WORK/corpus" "$WORK/seeds" "$REGRESSIONS" \
    "${DICT[@]}" -max_total_time="$SECONDS_TO_RUN" -max_len="${ORVEX_FUZZ_MAX_LEN:-65536}" \
    -timeout=60 -rss_limit_mb=4096 -artifact_prefix="$WORK/artifacts/" -print_final_stats=1 || status=$?
if [ "$status" -ne 0 ]; then
    echo "the fuzzer found a problem (exit $status); inputs in $WORK/artifacts/:" >&2
    ls -l "$WORK/artifacts/" >&2
fi
exit "$status"
