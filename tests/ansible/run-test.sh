#!/usr/bin/env bash
# The Ansible collection against three dvrd servers on loopback: a first run changes all three,
# a second none, check mode changes no server, a wrong password fails that host only, and a
# baseline taken with the titles out of scope keeps each server's titles.
# Needs QUILLON_PATH and DVRD_PATH; exits 77 (skipped) without ansible-playbook.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
command -v ansible-playbook >/dev/null || { echo "ansible-playbook is not installed"; exit 77; }

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

export XDG_DATA_HOME=$work/data HOME=$work/home
export ANSIBLE_COLLECTIONS_PATH=$root/ansible ANSIBLE_LOCAL_TEMP=$work/ansible-local
export ANSIBLE_REMOTE_TEMP=$work/ansible-remote ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
export PATH=$(dirname "$QUILLON_PATH"):$PATH
mkdir -p "$HOME"
(umask 077 && echo admin:fleet-pw >"$work/admin")

ports=()
for n in 1 2 3; do
    mkdir -p "$work/root$n"
    cp -r "$root/samples/User" "$root/samples/SysConfig" "$work/root$n/"
    "$DVRD_PATH" --root "$work/root$n" --port 0 --admin-file "$work/admin" 2>"$work/dvrd$n.log" &
    pids+=($!)
done
for n in 1 2 3; do
    port=
    for _ in $(seq 100); do
        port=$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$work/dvrd$n.log")
        [ -n "$port" ] && break
        sleep 0.1
    done
    [ -n "$port" ] || { echo "dvrd $n did not start"; cat "$work/dvrd$n.log"; exit 1; }
    ports+=("$port")
done

# inventory PASSWORD2: the three recorders, the second with that password.
inventory() {
    local file=$work/inventory-$1
    {
        echo "[recorders]"
        echo "dvr1 recorder_port=${ports[0]} recorder_password=fleet-pw"
        echo "dvr2 recorder_port=${ports[1]} recorder_password=$1"
        echo "dvr3 recorder_port=${ports[2]} recorder_password=fleet-pw"
        echo "[recorders:vars]"
        echo "ansible_connection=local"
        echo "ansible_python_interpreter=/usr/bin/python3"
    } >"$file"
    echo "$file"
}
good=$(inventory fleet-pw)
wrong=$(inventory not-the-password)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# play NAME ARGS...: runs a playbook, keeps its output in $work/NAME.out.
play() {
    local name=$1
    shift
    ansible-playbook "$@" >"$work/$name.out" 2>&1 || true
    sed -n '/PLAY RECAP/,$p' "$work/$name.out"
}
# recap NAME HOST FIELD: a number of the play recap.
recap() { sed -n "s/^$2 *:.* $3=\([0-9]*\).*/\1/p" "$work/$1.out"; }
applies() { grep -c 'apply generation=' "$work/dvrd$1.log" || true; }
stored() { QUILLON_PASSWORD=fleet-pw "$QUILLON_PATH" get "127.0.0.1:${ports[$1 - 1]}" "$2" 2>/dev/null; }

ansible-doc quillon.fleet.settings >/dev/null || fail "ansible-doc cannot read the module's documentation"
play first -i "$good" "$here/settings.yml" -e seconds=45 --diff
for n in 1 2 3; do
    [ "$(recap first dvr$n changed)" = 1 ] || fail "first run: dvr$n not changed"
    [ "$(applies $n)" = 1 ] || fail "first run: dvr$n applied $(applies $n) times"
done
grep -q '^-SysSet.Ext\[Alarm Options\]BackRecTime=30' "$work/first.out" \
    && grep -q '^+SysSet.Ext\[Alarm Options\]BackRecTime=45' "$work/first.out" \
    || fail "diff mode shows no before and after"
grep -q fleet-pw "$work/first.out" && fail "the password shows in the output"

play second -i "$good" "$here/settings.yml" -e seconds=45
for n in 1 2 3; do
    [ "$(recap second dvr$n changed)" = 0 ] || fail "second run: dvr$n changed"
    [ "$(applies $n)" = 1 ] || fail "second run: dvr$n applied again"
done

play check -i "$good" "$here/settings.yml" -e seconds=60 --check
for n in 1 2 3; do
    [ "$(recap check dvr$n changed)" = 1 ] || fail "check mode: dvr$n would not change"
    [ "$(applies $n)" = 1 ] || fail "check mode: dvr$n applied"
    [ "$(stored $n 'SysSet.Ext[Alarm Options]BackRecTime')" = 'SysSet.Ext[Alarm Options]BackRecTime=45' ] \
        || fail "check mode changed dvr$n"
done

play wrong -i "$wrong" "$here/settings.yml" -e seconds=60
[ "$(recap wrong dvr2 failed)" = 1 ] || fail "wrong password: dvr2 did not fail"
for n in 1 3; do
    [ "$(recap wrong dvr$n changed)" = 1 ] || fail "wrong password: dvr$n not changed"
    [ "$(applies $n)" = 2 ] || fail "wrong password: dvr$n not applied"
done
[ "$(applies 2)" = 1 ] || fail "wrong password: dvr2 applied"

# A baseline with other titles and another alarm time: the titles stay each server's.
cp -r "$root/samples" "$work/baseline"
sed -i 's/^BackRecTime=.*/BackRecTime=75\r/; s/^CameraName=.*/CameraName=Baseline\r/' \
    "$work/baseline/SysConfig/SysSet.Ext" "$work/baseline/SysConfig/TVCard.Ext"
play baseline -i "$good" "$here/baseline.yml" -e baseline="$work/baseline"
for n in 1 2 3; do
    [ "$(recap baseline dvr$n changed)" = 1 ] || fail "baseline: dvr$n not changed"
    [ "$(stored $n 'SysSet.Ext[Alarm Options]BackRecTime')" = 'SysSet.Ext[Alarm Options]BackRecTime=75' ] \
        || fail "baseline: dvr$n did not take the alarm time"
    cmp -s "$root/samples/SysConfig/TVCard.Ext" "$work/root$n/SysConfig/TVCard.Ext" \
        || fail "baseline: dvr$n lost its titles"
done

if [ "$failures" -gt 0 ]; then
    for name in first second check wrong baseline; do
        echo "== $name"
        cat "$work/$name.out"
    done
    exit 1
fi
echo "the collection: 3 changed, then 0; check mode changed nothing; a wrong password failed one host"
