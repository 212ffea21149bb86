# shellcheck shell=bash
# lib.sh: sourced by the scripts that run qzsld on a private port (the demo,
# the package test, the benchmarks, the completion test), so that all of them
# choose ports and wait for the service the same way.

# The qzsld that start_qzsld started, and its port.
qzsld_pid=
qzsld_port=
# How long one start may take before it counts as failed; a script that
# imports a large inventory on the start raises it.
qzsld_start_seconds=30

# free_port: a TCP port on 127.0.0.1 that no one had bound a moment ago. The
# kernel chooses it (a bind to port 0), so that parallel runs do not meet on a
# guess; perl-base's Socket is on every Debian system, the demo's included.
free_port() {
  perl -MSocket -e 'my $s; socket($s, PF_INET, SOCK_STREAM, 0) && bind($s, pack_sockaddr_in(0, inet_aton("127.0.0.1")))
    or die "free port: $!\n"; print((unpack_sockaddr_in(getsockname($s)))[0], "\n")'
}

# start_qzsld CONF DIR COMMAND...: runs COMMAND (qzsld, behind any prefix
# such as env or setpriv) in the background on a free port and waits until it
# listens. The port goes into CONF as QZSL_PORT, where qzsld and qzftconfig
# both read it; qzsld's output goes to DIR/qzsld.log, its ready file to
# DIR/qzsld.ready. Another process can take the port between its choice and
# qzsld's bind, so that failure is retried on a fresh port. On any other
# failure, or no ready file within qzsld_start_seconds, qzsld's output goes to
# standard error and the status is 1.
start_qzsld() {
  local conf=$1 dir=$2 status deadline
  shift 2
  for _ in 1 2 3 4 5; do
    qzsld_port=$(free_port) || return 1
    if grep -q '^QZSL_PORT *=' "$conf"; then
      sed -i "s/^QZSL_PORT *=.*/QZSL_PORT = $qzsld_port/" "$conf"
    else
      echo "QZSL_PORT = $qzsld_port" >> "$conf"
    fi
    rm -f "$dir/qzsld.ready"
    "$@" --ready-file "$dir/qzsld.ready" > "$dir/qzsld.log" 2>&1 &
    qzsld_pid=$!
    deadline=$((SECONDS + qzsld_start_seconds))
    while [ ! -e "$dir/qzsld.ready" ] && kill -0 "$qzsld_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
      sleep 0.02
    done
    [ ! -e "$dir/qzsld.ready" ] || return 0
    if kill -0 "$qzsld_pid" 2>/dev/null; then
      stop_qzsld KILL || true
      cat "$dir/qzsld.log" >&2
      echo "qzsld did not listen within $qzsld_start_seconds s" >&2
      return 1
    fi
    status=0
    wait "$qzsld_pid" || status=$?
    qzsld_pid=
    if [ $status != 1 ] || ! grep -q "cannot serve on 127.0.0.1:$qzsld_port" "$dir/qzsld.log"; then
      break
    fi
  done
  cat "$dir/qzsld.log" >&2
  return 1
}

# stop_qzsld [SIGNAL]: stops the qzsld that start_qzsld started (with TERM
# unless told otherwise) and returns its exit status; 0 when none runs.
stop_qzsld() {
  local pid=$qzsld_pid status=0
  [ -n "$pid" ] || return 0
  qzsld_pid=
  kill "-${1:-TERM}" "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || status=$?
  return $status
}
