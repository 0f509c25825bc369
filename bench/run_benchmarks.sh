#!/bin/bash
# SPDX-License-Identifier: MIT
# Runs orvex's transfer benchmarks side by side with peer tools on the same
# data in the same run, and prints median wall time, peak memory (max RSS)
# and the ratio orvex/peer for each.
#
#   bash bench/run_benchmarks.sh [BUILD_DIR]          (default: build)
#   RUNS=5 BENCH=empty,fetch,relay,many,send,big bash bench/run_benchmarks.sh
#
# Each figure is printed with its target: the largest ratio of orvex's time
# to the peer's and, where there is one, the peak memory orvex may reach.
#
# Needs: dev/setup's packages plus mpop, s-nail, postfix (for smtp-sink) and
# GNU time; bench/setup installs them.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
CLI=$BUILD/bin/orvex-cli
RUNS=${RUNS:-5}
BENCH=${BENCH:-empty,fetch,relay,many,send,big}
WORK=$(mktemp -d /tmp/orvex-bench.XXXXXX)
# The mail servers run as unprivileged users and must reach the mailboxes inside.
chmod 0755 "$WORK"
SERVERS=$WORK/servers
export XDG_CONFIG_HOME=$WORK/config

[ -x "$CLI" ] || { echo "build orvex-cli first (cmake --build $BUILD)" >&2; exit 1; }
for tool in mpop s-nail smtp-sink /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run bash bench/setup" >&2; exit 1; }
done

cleanup() {
    [ -n "${RELAY_PID:-}" ] && kill "$RELAY_PID" 2>/dev/null
    [ -n "${SINK_PID:-}" ] && kill "$SINK_PID" 2>/dev/null
    bash "$ROOT/tests/fixtures/mail_servers.sh" stop "$SERVERS" --force >/dev/null 2>&1
    rm -rf "$WORK"
}
trap cleanup EXIT

bash "$ROOT/tests/fixtures/mail_servers.sh" start "$SERVERS" >/dev/null
# shellcheck disable=SC1091
. "$SERVERS/servers.env"
export ORVEX_CA_FILE=$CA_FILE

# measure NAME COMMAND...: one run; appends "seconds maxrss_kb" to $WORK/NAME.
measure() {
    local name=$1; shift
    /usr/bin/time -f "%e %M" -o "$WORK/time.out" "$@" >/dev/null 2>"$WORK/$name.err" \
        || { echo "$name failed:" >&2; tail -5 "$WORK/$name.err" >&2; exit 1; }
    cat "$WORK/time.out" >> "$WORK/$name"
}

# compare TITLE ORVEX_FN PEER_FN TIME_RATIO [MEMORY_MB]: a warm-up of each,
# then RUNS alternating runs; the targets are orvex's time at most
# TIME_RATIO of the peer's (0: no target) and its peak memory below MEMORY_MB.
compare() {
    local title=$1 orvex=$2 peer=$3 ratio=$4 memory=${5:-0} i
    rm -f "$WORK/orvex" "$WORK/peer"
    $orvex warm; $peer warm
    rm -f "$WORK/orvex" "$WORK/peer"
    for ((i = 0; i < RUNS; i++)); do
        $orvex orvex
        $peer peer
    done
    /usr/bin/python3 - "$title" "$WORK/orvex" "$WORK/peer" "$PEER_NAME" "$ratio" "$memory" <<'PY'
import statistics, sys
title, a, b, peer, ratio, memory = sys.argv[1:7]
ratio, memory = float(ratio), float(memory)
def load(p):
    rows = [tuple(map(float, l.split())) for l in open(p) if l.strip()]
    return statistics.median(r[0] for r in rows), max(r[1] for r in rows) / 1024, [r[0] for r in rows]
ot, om, oruns = load(a); pt, pm, pruns = load(b)
verdict = lambda ok: "reached" if ok else "MISSED"
targets = f"time <= {ratio:.2f}: {verdict(ot / pt <= ratio)}" if ratio else "none (reported only)"
if memory:
    targets += f"; memory < {memory:.0f} MB: {verdict(om < memory)}"
runs = lambda rs: " ".join(f"{r:.2f}" for r in rs)
print(f"{title}\n  orvex: {ot:8.3f} s  {om:7.1f} MB   runs: {runs(oruns)}\n"
      f"  {peer:6s} {pt:8.3f} s  {pm:7.1f} MB   runs: {runs(pruns)}\n"
      f"  ratio orvex/{peer}: time {ot/pt:.2f}, memory {om/pm:.2f}   target: {targets}")
PY
}

# --- fetch: orvex-cli fetch against mpop, same mailbox, same server -------
fetch_user=""; fetch_port=""
orvex_fetch() {
    rm -rf "$WORK/att"; mkdir -p "$WORK/att"
    ORVEX_PASSWORD=$(secret "$fetch_user") measure "$1" "$CLI" fetch --server 127.0.0.1 --port "$fetch_port" \
        --user "$fetch_user" --range 0-0 --attach-dir "$WORK/att"
}
mpop_fetch() {
    rm -rf "$WORK/mpop"; mkdir -p "$WORK/mpop/new" "$WORK/mpop/cur" "$WORK/mpop/tmp"
    rm -f "$WORK/uidls"
    measure "$1" mpop --host=127.0.0.1 --port="$fetch_port" --user="$fetch_user" \
        --passwordeval="echo $(secret "$fetch_user")" --auth=on --tls=on --tls-starttls=on \
        --tls-trust-file="$CA_FILE" --tls-host-override=localhost --keep=on --only-new=off \
        --uidls-file="$WORK/uidls" --deliver=maildir,"$WORK/mpop" --quiet
}
secret() { echo "secret-$1"; }
fill() {  # fill USER COUNT SIZE [ATTACHMENT_BYTES]
    local dir=$MAILDIR_ROOT/$1/Maildir
    /usr/bin/python3 "$ROOT/bench/make_mail.py" "$dir" "$2" "$3" --attachment-bytes "${4:-0}"
    chown -R --reference="$MAILDIR_ROOT/$1" "$dir"
}

PEER_NAME=mpop
# --- empty: what a start costs, where no transfer hides it ----------------
# One measured run is 20 fetches of an empty mailbox in a row, so that the
# 10 ms resolution of the timing is 0.5 ms per fetch.
if [[ $BENCH == *empty* ]]; then
    fetch_user=user26; fetch_port=$POP3_PORT
    repeat20() { local i; for ((i = 0; i < 20; i++)); do "$@" || return 1; done; }
    export -f repeat20
    orvex_empty() { measure "$1" bash -c "$(declare -f orvex_fetch_once); repeat20 orvex_fetch_once"; }
    mpop_empty() { measure "$1" bash -c "$(declare -f mpop_fetch_once); repeat20 mpop_fetch_once"; }
    orvex_fetch_once() {
        ORVEX_PASSWORD=secret-user26 "$CLI" fetch --server 127.0.0.1 --port "$POP3_PORT" --user user26 \
            --range 0-0 --attach-dir "$WORK/att" >/dev/null
    }
    mpop_fetch_once() {
        mpop --host=127.0.0.1 --port="$POP3_PORT" --user=user26 --passwordeval="echo secret-user26" --auth=on \
            --tls=on --tls-starttls=on --tls-trust-file="$CA_FILE" --tls-host-override=localhost --keep=on \
            --only-new=off --uidls-file="$WORK/uidls" --deliver=maildir,"$WORK/mpop" --quiet
    }
    export CLI POP3_PORT WORK CA_FILE
    mkdir -p "$WORK/att" "$WORK/mpop/new" "$WORK/mpop/cur" "$WORK/mpop/tmp"
    compare "empty: 20 fetches of an empty mailbox in a row (the fixed cost of a start)" orvex_empty mpop_empty 1.0
fi
if [[ $BENCH == *fetch* ]]; then
    fill user30 1000 20000
    fetch_user=user30; fetch_port=$POP3_PORT
    compare "fetch: 1000 messages of ~20 KB (POP3 with STLS, loopback)" orvex_fetch mpop_fetch 0.8
fi
if [[ $BENCH == *relay* ]]; then
    fill user29 200 10000
    RELAY_PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    /usr/bin/python3 "$ROOT/bench/delay_relay.py" --listen 127.0.0.1:"$RELAY_PORT" \
        --target 127.0.0.1:"$POP3_PORT" --rtt-ms 25 & RELAY_PID=$!
    sleep 0.5
    fetch_user=user29; fetch_port=$RELAY_PORT
    compare "relay: 200 messages of ~10 KB over a link with 25 ms round trip" orvex_fetch mpop_fetch 0.9
    kill "$RELAY_PID" 2>/dev/null; RELAY_PID=""
fi
if [[ $BENCH == *many* ]]; then
    fill user27 10000 20000
    fetch_user=user27; fetch_port=$POP3_PORT
    compare "many: 10,000 messages of ~20 KB (memory must not grow with the mailbox)" orvex_fetch mpop_fetch 0.8 64
fi
if [[ $BENCH == *big* ]]; then
    fill user28 1 1000 $((100 * 1024 * 1024))
    fetch_user=user28; fetch_port=$POP3_PORT
    compare "fetch big: one message with a 100 MB attachment" orvex_fetch mpop_fetch 0.8 64
fi

# --- send: orvex-cli send against s-nail, both into smtp-sink --------------
if [[ $BENCH == *send* ]]; then
    SINK_PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    # smtp-sink refuses to run as root without a user to drop to.
    smtp-sink -u nobody 127.0.0.1:"$SINK_PORT" 64 & SINK_PID=$!
    sleep 0.3
    head -c $((100 * 1024 * 1024)) /dev/urandom > "$WORK/big.bin"
    echo "body of the benchmark message" > "$WORK/body.txt"
    orvex_send() {
        measure "$1" "$CLI" send --server 127.0.0.1 --port "$SINK_PORT" --from bench@localhost \
            --to sink@localhost --subject "100 MB" --body-file "$WORK/body.txt" --attach "$WORK/big.bin"
    }
    snail_send() {
        measure "$1" env HOME="$WORK" MAILRC=/dev/null s-nail -n -S v15-compat -S ttycharset=utf-8 \
            -S mta=smtp://127.0.0.1:"$SINK_PORT" -S smtp-auth=none -S from=bench@localhost -s "100 MB" \
            -a "$WORK/big.bin" sink@localhost < "$WORK/body.txt"
    }
    PEER_NAME=s-nail
    compare "send: one message with a 100 MB attachment into smtp-sink" orvex_send snail_send 0.5 64
fi
