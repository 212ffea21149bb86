#!/usr/bin/env bash
# package_test.sh (as root): builds the Debian packages, checks them with
# lintian and for Debian's hardening, installs them, serves the demo site with
# the installed qzsld and lists it with the installed qzftconfig, checks the
# bash completion, the man pages and the systemd unit, then purges the
# packages and checks that nothing of them is left.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
root=/usr/vandor/tessark
fail() { echo "package test: $*" >&2; exit 1; }

scripts/package.sh > /dev/null
debs=("$top"/build/packages/*.deb)
[ ${#debs[@]} -eq 2 ] || fail "expected two packages, found: ${debs[*]}"

# Errors fail the test; the warnings that remain are listed in the README.
lintian --tag-display-limit 0 "${debs[@]}" | tee /tmp/qz-lintian.$$ >&2 || true
! grep -q '^E: ' /tmp/qz-lintian.$$ || { rm -f /tmp/qz-lintian.$$; fail "lintian reports errors"; }
rm -f /tmp/qz-lintian.$$

# Hardening of every packaged binary.
work=$(mktemp -d /tmp/qzpkg.XXXXXX)
qzsld_pid=
installed=
cleanup() {
  [ -z "$qzsld_pid" ] || { kill "$qzsld_pid" 2>/dev/null; wait "$qzsld_pid" 2>/dev/null || true; }
  [ -z "$installed" ] || apt-get purge -y -qq qzftconfig qzsld > /dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$work/x"
done
for bin in "$work"/x$root/bin/*; do
  name=$(basename "$bin")
  # Captured first: grep -q would close the pipe under readelf (pipefail).
  header=$(readelf -h "$bin"); dynamic=$(readelf -d "$bin"); segments=$(readelf -lW "$bin")
  symbols=$(readelf --dyn-syms -W "$bin")
  grep -q 'Type:.*DYN' <<< "$header" || fail "$name is not PIE"
  grep -q 'BIND_NOW' <<< "$dynamic" || fail "$name is not linked with BIND_NOW"
  grep -q 'FLAGS_1.*NOW' <<< "$dynamic" || fail "$name lacks the NOW flag"
  grep -q 'GNU_RELRO' <<< "$segments" || fail "$name has no RELRO segment"
  grep -q '__stack_chk_fail' <<< "$symbols" || fail "$name is not built with the stack protector"
  grep -Eq '__[a-z_]+_chk@' <<< "$symbols" || fail "$name is not built with FORTIFY_SOURCE"
done

# Leftovers of an earlier failed run would hide what a purge leaves behind.
for path in $root /etc/tessark /usr/sbin/qzftconfig /usr/sbin/qzsld /lib/systemd/system/qzsld.service; do
  [ ! -e "$path" ] || fail "$path exists before the installation"
done
export DEBIAN_FRONTEND=noninteractive
installed=yes
apt-get install -y -qq "${debs[@]}" > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install failed"; }
files=$(dpkg -L qzftconfig qzsld)

[ "$(/usr/sbin/qzsld --version)" = "qzsld $(dpkg-query -W -f='${Version}' qzsld)" ] ||
  fail "qzsld --version does not print the package's version"

# The demo site through the installed layout: the installed qz.conf, moved to
# a free port, serves both programs; TESSARK_HOME stays unset.
unset TESSARK_HOME
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
sed -i "s/^QZSL_PORT = .*/QZSL_PORT = $port/" /etc/tessark/qz.conf
# A stand-in for systemd's notification socket: the first datagram it gets.
python3 -c 'import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM); s.bind(sys.argv[1]); s.settimeout(30)
open(sys.argv[2] + ".tmp", "w").write(s.recv(256).decode()); socket.os.rename(sys.argv[2] + ".tmp", sys.argv[2])' \
  "$work/notify" "$work/notified" &
for _ in $(seq 100); do [ -S "$work/notify" ] && break; sleep 0.05; done
NOTIFY_SOCKET=$work/notify /usr/sbin/qzsld --inventory $root/share/qzsld/demo/inventory.json \
  --ready-file "$work/ready" 2> "$work/qzsld.err" &
qzsld_pid=$!
for _ in $(seq 200); do [ -e "$work/ready" ] && break; sleep 0.05; done
[ -e "$work/ready" ] || { cat "$work/qzsld.err" >&2; fail "the installed qzsld did not start"; }
[ "$(cat "$work/qzsld.err")" = "qzsld: listening on 127.0.0.1:$port" ] || fail "qzsld did not say where it listens"
for _ in $(seq 100); do [ -e "$work/notified" ] && break; sleep 0.05; done
[ "$(cat "$work/notified" 2>/dev/null)" = "READY=1" ] || fail "qzsld did not notify its readiness"
LANG=C /usr/sbin/qzftconfig -listservers > "$work/servers" 2>&1 || { cat "$work/servers" >&2; fail "qzftconfig -listservers failed"; }
grep -q ftmedia01 "$work/servers" || { cat "$work/servers" >&2; fail "the demo site is not listed"; }
grep -q "version $(dpkg-query -W -f='${Version}' qzftconfig)" $root/logs/admin/qzftconfig.log ||
  fail "the debug log does not record the version"
kill "$qzsld_pid"; wait "$qzsld_pid" || fail "qzsld did not stop cleanly"; qzsld_pid=

# The loader falls back to a minimal completion for commands it has none for.
completion=$(bash -c '. /usr/share/bash-completion/bash_completion; _completion_loader qzftconfig; complete -p qzftconfig')
[ -n "$completion" ] && [[ $completion != *_minimal* ]] || fail "no bash completion for qzftconfig: $completion"
# The pages' own lint runs with the other tests; here they must be installed where man finds them.
for page in qzftconfig.8 qz.conf.5 qzsld.8; do
  man -w "${page##*.}" "${page%.*}" > /dev/null || fail "man $page is not installed"
done
systemd-analyze verify --man=yes /lib/systemd/system/qzsld.service 2>&1 | tee "$work/verify" >&2
[ ! -s "$work/verify" ] || fail "systemd-analyze verify is not clean"

# Again over itself, as an upgrade does, and removed: the changed
# configuration and the database stay until the purge.
dpkg -i "${debs[@]}" > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "reinstalling failed"; }
apt-get remove -y -qq qzftconfig qzsld > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get remove failed"; }
grep -q "^QZSL_PORT = $port\$" /etc/tessark/qz.conf || fail "qz.conf was not kept"
[ -e $root/var/qzsld.db ] || fail "the database was not kept"
apt-get purge -y -qq qzftconfig qzsld > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get purge failed"; }
# Shared directories (/usr/sbin, /usr/share/man/man8, ...) stay; nothing of
# the product's own may.
left=$(for f in $files $root /etc/tessark; do
  [ -e "$f" ] || [ -L "$f" ] || continue
  if [ -d "$f" ]; then
    case "$f" in $root*|/etc/tessark*|/usr/share/doc/qz*) ;; *) continue ;; esac
  fi
  echo "$f"
done)
installed=
[ -z "$left" ] || fail "left after purge: $left"
echo "package test: passed"
