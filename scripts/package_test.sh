#!/usr/bin/env bash
# package_test.sh (as root): builds the Debian packages, checks them with
# lintian and for Debian's hardening and shared libraries, then installs,
# runs, removes and purges them in a throwaway root: an overlay over / in a
# private mount and process namespace. Whatever this machine has installed
# (these packages too, or their configuration after a remove) stays as it
# was; inside the throwaway root they are purged first.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
root=/usr/vandor/tessark
fail() { echo "package test: $*" >&2; exit 1; }
source scripts/lib.sh

# The checks on the installed system, run inside the throwaway root.
installed_checks() {
  local work debs
  work=$(mktemp -d /tmp/qzpkg.XXXXXX)
  debs=("$@")
  trap 'stop_qzsld || true' EXIT
  export DEBIAN_FRONTEND=noninteractive
  unset TESSARK_HOME
  dpkg --purge qzftconfig qzsld > /dev/null 2>&1 || true
  for path in $root /etc/tessark /var/lib/qzsld /var/log/tessark /usr/sbin/qzftconfig /usr/sbin/qzsld \
              /lib/systemd/system/qzsld.service; do
    [ ! -e "$path" ] || fail "$path is left from an earlier installation in the throwaway root"
  done
  apt-get install -y -qq "${debs[@]}" > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install failed"; }
  local files
  files=$(dpkg -L qzftconfig qzsld)

  [ "$(/usr/sbin/qzsld --version)" = "qzsld $(dpkg-query -W -f='${Version}' qzsld)" ] ||
    fail "qzsld --version does not print the package's version"
  # The account: a system user without a login shell, owning only its folder.
  local account
  account=$(getent passwd qzsl) || fail "the package made no account qzsl"
  [ "${account##*:}" = /usr/sbin/nologin ] || fail "qzsl has a login shell: $account"
  [ "$(stat -c '%U %a' /var/lib/qzsld)" = "qzsl 700" ] || fail "/var/lib/qzsld is $(stat -c '%U %a' /var/lib/qzsld)"
  [ "$(stat -c %U /var/log/tessark/admin)" = root ] || fail "the log folder is not root's"

  # The installed qz.conf, moved to a free port, serves both programs through
  # the product root's links into /var; TESSARK_HOME stays unset.
  local as_qzsl=(setpriv --reuid=qzsl --regid=qzsl --clear-groups --inh-caps=-all)
  start_installed() {
    # Only the first start has someone listening for its notification.
    local notify=$work/notify
    [ ! -e "$work/notified" ] || notify=
    start_qzsld /etc/tessark/qz.conf "$work" env ${notify:+NOTIFY_SOCKET=$notify} "${as_qzsl[@]}" /usr/sbin/qzsld ||
      fail "the installed qzsld did not start"
  }
  stop_installed() { stop_qzsld || fail "qzsld did not stop cleanly"; }
  # A stand-in for systemd's notification socket: the first datagram it gets.
  chmod 1777 "$work"
  python3 -c 'import socket, sys, os
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM); s.bind(sys.argv[1]); os.chmod(sys.argv[1], 0o777); s.settimeout(30)
open(sys.argv[2] + ".tmp", "w").write(s.recv(256).decode()); os.rename(sys.argv[2] + ".tmp", sys.argv[2])' \
    "$work/notify" "$work/notified" &
  for _ in $(seq 100); do [ -S "$work/notify" ] && break; sleep 0.05; done

  # A first start has no inventory: an empty site, and the command that imports one.
  start_installed
  local db=$root/var/qzsld.db
  local hint="qzsld: the inventory in $db is empty; import one, with the service stopped, by:"
  hint+=" qzsld --db $db --inventory FILE --export /dev/null"
  [ "$(cat "$work/qzsld.log")" = "$hint"$'\n'"qzsld: listening on 127.0.0.1:$qzsld_port" ] ||
    { cat "$work/qzsld.log" >&2; fail "qzsld did not say how to import an inventory"; }
  for _ in $(seq 100); do [ -e "$work/notified" ] && break; sleep 0.05; done
  [ "$(cat "$work/notified" 2>/dev/null)" = "READY=1" ] || fail "qzsld did not notify its readiness"
  stop_installed
  "${as_qzsl[@]}" /usr/sbin/qzsld --db $db --inventory $root/share/qzsld/demo/inventory.json --export /dev/null ||
    fail "the import command that qzsld shows failed"
  [ "$(stat -c '%U %a' /var/lib/qzsld/qzsld.db)" = "qzsl 600" ] ||
    fail "the database is $(stat -c '%U %a' /var/lib/qzsld/qzsld.db)"
  start_installed
  [ "$(cat "$work/qzsld.log")" = "qzsld: listening on 127.0.0.1:$qzsld_port" ] ||
    { cat "$work/qzsld.log" >&2; fail "qzsld still finds no inventory"; }

  LANG=C /usr/sbin/qzftconfig -listservers > "$work/servers" 2>&1 || { cat "$work/servers" >&2; fail "qzftconfig -listservers failed"; }
  grep -q ftmedia01 "$work/servers" || { cat "$work/servers" >&2; fail "the demo site is not listed"; }
  local log=/var/log/tessark/admin/qzftconfig.log
  grep -q "version $(dpkg-query -W -f='${Version}' qzftconfig)" $log || fail "the debug log does not record the version"
  # A caller other than root whom the tool's rights check lets through is
  # still refused by the service until the operator names a group of theirs.
  sed -i 's/^USE_KMTL = .*/USE_KMTL = REQUIRED/' /etc/tessark/qz.conf
  grep -q '^USE_KMTL = REQUIRED$' /etc/tessark/qz.conf || echo "USE_KMTL = REQUIRED" >> /etc/tessark/qz.conf
  local status=0
  LANG=C setpriv --reuid=nobody --regid=nogroup --clear-groups /usr/sbin/qzftconfig -listservers > "$work/out" 2>&1 ||
    status=$?
  [ $status = 140 ] && grep -qx 'EXIT error: qzsld: user nobody (uid 65534) may not read the FT inventory' "$work/out" ||
    { cat "$work/out" >&2; fail "the installed qzsld let nobody read the inventory (status $status)"; }
  # A member of the administrators' group runs every kind of command without
  # anyone opening the log folder.
  stop_installed
  echo "QZSL_ADMIN_GROUP = nogroup" >> /etc/tessark/qz.conf
  start_installed
  for command in -listservers -listclients -getconfig "-changeserver -Me ftmedia01 -l 4 -state active"; do
    # shellcheck disable=SC2086
    LANG=C setpriv --reuid=nobody --regid=nogroup --clear-groups /usr/sbin/qzftconfig $command > "$work/out" 2>&1 ||
      { cat "$work/out" >&2; fail "qzftconfig $command as nobody failed"; }
  done
  stop_installed
  [ "$(stat -c %U $log)" = root ] || fail "the debug log changed hands"
  # logrotate's rule, forced: the next run starts a fresh log.
  logrotate -f -s "$work/logrotate.state" /etc/logrotate.d/qzftconfig || fail "logrotate refused the rule"
  [ -e $log.1 ] && [ ! -e $log ] || fail "logrotate did not rotate the debug log"
  LANG=C /usr/sbin/qzftconfig -help > /dev/null 2>&1 || true
  [ -s $log ] || fail "no new debug log after the rotation"

  # The loader falls back to a minimal completion for commands it has none for.
  local completion
  completion=$(bash -c '. /usr/share/bash-completion/bash_completion; _completion_loader qzftconfig; complete -p qzftconfig')
  [ -n "$completion" ] && [[ $completion != *_minimal* ]] || fail "no bash completion for qzftconfig: $completion"
  for page in qzftconfig.8 qz.conf.5 qzsld.8; do
    man -w "${page##*.}" "${page%.*}" > /dev/null || fail "man $page is not installed"
  done
  local unit=/lib/systemd/system/qzsld.service exposure
  systemd-analyze verify --man=yes $unit 2>&1 | tee "$work/verify" >&2
  [ ! -s "$work/verify" ] || fail "systemd-analyze verify is not clean"
  exposure=$(systemd-analyze security --offline=true $unit 2>&1 | sed -n 's/.*Overall exposure level for qzsld.service: \([0-9.]*\).*/\1/p')
  [ -n "$exposure" ] && awk -v e="$exposure" 'BEGIN { exit !(e <= 2.0) }' || fail "the unit's exposure is ${exposure:-unknown}, not <= 2.0"
  echo "package test: the unit's exposure is $exposure" >&2

  # Enabled, upgraded over itself and removed: the changed configuration and
  # the database stay until the purge, which leaves no enable link.
  systemctl enable qzsld > /dev/null 2>&1 || fail "systemctl enable failed"
  [ -L /etc/systemd/system/multi-user.target.wants/qzsld.service ] || fail "no enable link"
  dpkg -i "${debs[@]}" > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "reinstalling failed"; }
  apt-get remove -y -qq qzftconfig qzsld > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get remove failed"; }
  grep -q "^QZSL_PORT = $qzsld_port\$" /etc/tessark/qz.conf || fail "qz.conf was not kept"
  [ -e /var/lib/qzsld/qzsld.db ] || fail "the database was not kept"
  apt-get purge -y -qq qzftconfig qzsld > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get purge failed"; }
  # Shared directories (/usr/sbin, /usr/share/man/man8, ...) stay; nothing of
  # the product's own may.
  local left
  left=$(for f in $files $root /etc/tessark /var/lib/qzsld /var/log/tessark \
                  /etc/systemd/system/multi-user.target.wants/qzsld.service; do
    [ -e "$f" ] || [ -L "$f" ] || continue
    if [ -d "$f" ]; then
      case "$f" in $root*|/etc/tessark*|/var/lib/qzsld*|/var/log/tessark*|/usr/share/doc/qz*) ;; *) continue ;; esac
    fi
    echo "$f"
  done)
  [ -z "$left" ] || fail "left after purge: $left"
}

# Inside the private namespaces: / under an overlay whose changes live in
# memory, entered with chroot.
if [ "${1:-}" = --throwaway-root ]; then
  shift
  scratch=$1; shift
  mount -t tmpfs tmpfs "$scratch"
  mkdir "$scratch/upper" "$scratch/work" "$scratch/root"
  mount -t overlay overlay -o "lowerdir=/,upperdir=$scratch/upper,workdir=$scratch/work" "$scratch/root"
  mount -t proc proc "$scratch/root/proc"
  for fs in dev sys; do mount --rbind "/$fs" "$scratch/root/$fs"; done
  mount -t tmpfs tmpfs "$scratch/root/tmp"
  mount -t tmpfs tmpfs "$scratch/root/run"
  exec chroot "$scratch/root" "$top/scripts/package_test.sh" --installed "$@"
fi
if [ "${1:-}" = --installed ]; then
  shift
  installed_checks "$@"
  exit 0
fi

scripts/package.sh > /dev/null
debs=("$top"/build/packages/qzftconfig_*.deb "$top"/build/packages/qzsld_*.deb)
[ ${#debs[@]} -eq 2 ] || fail "expected two packages, found: ${debs[*]}"
compgen -G "$top/build/packages/*-dbgsym_*.deb" > /dev/null || fail "no -dbgsym packages"

# Errors fail the test; the warnings that remain are listed in the README.
lintian --tag-display-limit 0 "$top"/build/packages/*.deb > "$top/build/packages/lintian.log" 2>&1 || true
cat "$top/build/packages/lintian.log" >&2
! grep -q '^E: ' "$top/build/packages/lintian.log" || fail "lintian reports errors"

# Debian's shared libraries, libcrypto's package named though only opened,
# and the hardening of every packaged binary.
for deb in "${debs[@]}"; do
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in libomniorb4 libstdc++6 libjansson4; do
    [[ $depends == *"$library"* ]] || fail "$(basename "$deb") does not depend on $library: $depends"
  done
done
[[ $(dpkg-deb -f "${debs[0]}" Depends) == *libssl3* ]] || fail "qzftconfig does not depend on libssl3"
scratch=$(mktemp -d /tmp/qzpkg.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$scratch/x"
done
for bin in "$scratch"/x$root/bin/*; do
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
  for library in libomniORB4.so libstdc++.so; do
    grep -q "NEEDED.*$library" <<< "$dynamic" || fail "$name does not load $library"
  done
done
rm -rf "$scratch/x"

unshare --mount --propagation private --pid --fork \
  "$top/scripts/package_test.sh" --throwaway-root "$scratch" "${debs[@]}"
echo "package test: passed"
