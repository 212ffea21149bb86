#!/usr/bin/env bash
# completion_test.sh COMPLETION_FILE QZFTCONFIG QZSLD: completes command lines
# the way bash does on Tab and compares the offers. Host names come first from
# a stub qzftconfig that prints canned compact listings, then from the real
# tool against a qzsld whose inventory holds hostile names.
set -u
# shellcheck source=SCRIPTDIR/../../scripts/lib.sh
source "$(dirname "$0")/../../scripts/lib.sh"
stubs=$(mktemp -d /tmp/qzcomplete.XXXXXX)
trap 'stop_qzsld; rm -rf "$stubs"' EXIT
# Besides plain names the service holds names that any local caller could
# have stored: shell syntax (each would create a file named ran* in the
# current folder if it ran), blanks, a leading hyphen, a colon, one byte too
# many, an empty name. Only the plain ones, and 256 bytes exactly, may be offered.
long=$(printf 'a%.0s' {1..256})
cat > "$stubs/qzftconfig" <<STUB
#!/bin/sh
case \$1 in
  -listclients) cat <<'LIST'
c sanclient01 10.0 active master1 1 2 never 0 0
d 0 active ftmedia01 active 1 FABRIC 3
c sanclient02 10.0 active master2 1 2 never 0 0
c \$(touch\${IFS}ran1) 10.0 active \`touch\${IFS}ran2\` 1 2 never 0 0
c sanclient03 with blank 10.0 active master1 1 2 never 0 0
c -verbose 10.0 active master1 1 2 never 0 0
c sanclient04:x 10.0 active master1 1 2 never 0 0
c $long 10.0 active master1 1 2 never 0 0
c ${long}a 10.0 active master1 1 2 never 0 0
c  10.0 active master3 1 2 never 0 0
LIST
  ;;
  -listservers) cat <<'LIST'
m ftmedia01 10.0 active 8
d 1 FABRIC active 3 0 w m 8
m \`touch\${IFS}ran3\` 10.0 active 4
m ftmedia02 10.0 disabled 4
m ftmedia03  active 4
LIST
  ;;
esac
STUB
chmod +x "$stubs/qzftconfig"
PATH="$stubs:$PATH"
source /usr/share/bash-completion/bash_completion
source "$1"

failed=0
# expect "LINE" "OFFERS": LINE is what was typed before Tab (a trailing blank
# starts a new word); OFFERS are the sorted completions.
expect() {
  read -r -a COMP_WORDS <<< "$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _qzftconfig_module
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | xargs)
  if [ "$got" != "$2" ]; then
    echo "'$1': offered '$got', expected '$2'"
    failed=1
  fi
}

cd "$stubs" || exit 1
expect "qzftconfig -list" "-list_telemetry -listactive -listclients -listservers -listtargets"
expect "qzftconfig -verbose -l" "-la -lc -list_telemetry -listactive -listclients -listservers -listtargets -ll -ls -lt"
expect "qzftconfig --" "--help --version"
expect "qzftconfig -verbose --" ""
expect "qzftconfig -ftpref " ""
expect "qzftconfig -help -lc " ""
# What may follow: one host filter per listing, one output form, each option once.
expect "qzftconfig -listtargets " "-Me -verbose"
expect "qzftconfig -lc " "-C -M -Me -json -json_compact -verbose"
expect "qzftconfig -lc -C c1 " "-json -json_compact -verbose"
expect "qzftconfig -ll -verbose -M m1 -json_compact " ""
expect "qzftconfig -ls -json " "-M -Me -verbose"
expect "qzftconfig -la -Me m1 " "-verbose"
expect "qzftconfig -getconfig " "-M -verbose"
expect "qzftconfig -cs -Me m -l 4 " "-state -verbose"
expect "qzftconfig -changeserver -Me m -state d" "disabled"
expect "qzftconfig -cc " "-C -ftpref -np -verbose"
expect "qzftconfig -cc -C c1 -ftpref " "always fail never preferred"
expect "qzftconfig -cc -C c1 -ftpref always " "-verbose"
expect "qzftconfig -cc -C c1 -np 3 " "-verbose"
expect "qzftconfig -setconfig " "-M -ftpref -ncp -np -verbose"
expect "qzftconfig -setconfig -ftpref preferred " "-M -ftrwait -ftwait -verbose"
expect "qzftconfig -setconfig -ftpref preferred -ftwait 5 " "-M -ftrwait -verbose"
expect "qzftconfig -setconfig -np 4 " "-M -ncp -verbose"
expect "qzftconfig -setconfig -M m1 -ncp 4 -np 2 " "-verbose"
expect "qzftconfig -ra " "-verbose"
expect "qzftconfig -ra -verbose " ""
# Positional names: [-verbose] name [-verbose]; -rescanclient also -C, three words at most.
expect "qzftconfig -dc -verbose " "$long sanclient01 sanclient02"
expect "qzftconfig -dc sanclient01 " "-verbose"
expect "qzftconfig -dc -verbose sanclient01 " ""
expect "qzftconfig -dc -verbose -verbose " ""
expect "qzftconfig -rc " "-C -verbose $long sanclient01 sanclient02"
expect "qzftconfig -rc -C sanc" "sanclient01 sanclient02"
expect "qzftconfig -rc -C -verbose " "$long sanclient01 sanclient02"
expect "qzftconfig -rc -C sanclient01 " "-verbose"
expect "qzftconfig -rc -verbose sanclient01 " ""
# Service names: only plain host names, never a piece of one, and nothing runs.
expect "qzftconfig -lc -C sanclient" "sanclient01 sanclient02"
expect "qzftconfig -lc -C " "$long sanclient01 sanclient02"
expect "qzftconfig -listservers -M " "master1 master2 master3"
expect "qzftconfig -ds " "-verbose ftmedia01 ftmedia02 ftmedia03"
expect "qzftconfig -la -C \$" ""
expect "qzftconfig -la -Me \`" ""
if ls ran* 2>/dev/null; then
  echo "completion ran commands from the service's names"
  failed=1
fi
# A tool that cannot list anything offers no names and prints nothing.
printf '#!/bin/sh\necho "no service" >&2\nexit 130\n' > "$stubs/qzftconfig"
expect "qzftconfig -la -Me " ""

# The real listings, so that the field counts above stay those of the tool.
export TESSARK_HOME=$stubs/home
mkdir -p "$TESSARK_HOME/var"
printf 'SERVER = master1\nUSE_KMTL = REQUIRED\n' > "$TESSARK_HOME/qz.conf"
cat > "$TESSARK_HOME/inventory.json" <<'JSON'
{"servers": [{"hostName": "ftmedia01"}, {"hostName": "`touch${IFS}ran4`"}],
 "clients": [{"fatClientInfo": {"hostName": "sanclient01", "masterServerName": "master1"}},
             {"fatClientInfo": {"hostName": "$(touch${IFS}ran5)", "masterServerName": "$(touch${IFS}ran6)"}}]}
JSON
start_qzsld "$TESSARK_HOME/qz.conf" "$TESSARK_HOME" "$3" --db "$TESSARK_HOME/var/qzsld.db" \
  --inventory "$TESSARK_HOME/inventory.json" || exit 1
ln -sf "$2" "$stubs/qzftconfig"
expect "qzftconfig -dc " "-verbose sanclient01"
expect "qzftconfig -lc -M " "master1"
expect "qzftconfig -ds " "-verbose ftmedia01"
if ls ran* 2>/dev/null; then
  echo "completion ran commands from the names of a live service"
  cat "$TESSARK_HOME/qzsld.log"
  failed=1
fi
exit $failed
