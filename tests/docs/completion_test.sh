#!/usr/bin/env bash
# completion_test.sh COMPLETION_FILE: completes a few command lines the way
# bash does on Tab and compares the offers. Host names come from a stub
# qzftconfig that prints canned compact listings.
set -u
stubs=$(mktemp -d /tmp/qzcomplete.XXXXXX)
trap 'rm -rf "$stubs"' EXIT
cat > "$stubs/qzftconfig" <<'STUB'
#!/bin/sh
case $1 in
  -listclients) printf 'c sanclient01 10.0 active master1 1 2 never 0 0\nd 0 active ftmedia01 active 1 FABRIC 3\nc sanclient02 10.0 active master2 1 2 never 0 0\n' ;;
  -listservers) printf 'm ftmedia01 10.0 active 8\nd 1 FABRIC active 3 0 w m 8\nm ftmedia02 10.0 disabled 4\n' ;;
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

expect "qzftconfig -list" "-list_telemetry -listactive -listclients -listservers -listtargets"
expect "qzftconfig -verbose -l" "-la -lc -list_telemetry -listactive -listclients -listservers -listtargets -ll -ls -lt"
expect "qzftconfig -ftpref " ""
expect "qzftconfig -cc -C c1 -ftpref " "always fail never preferred"
expect "qzftconfig -setconfig -ftpref preferred " "-M -ftrwait -ftwait -verbose"
expect "qzftconfig -setconfig -np 4 " "-M -ftpref -ncp -verbose"
expect "qzftconfig -changeserver -Me m -state d" "disabled"
expect "qzftconfig -listtargets " "-Me -verbose"
expect "qzftconfig -ls -json " "-M -Me -json -json_compact -verbose"
expect "qzftconfig -help -lc " ""
expect "qzftconfig -lc -C sanclient" "sanclient01 sanclient02"
expect "qzftconfig -listservers -M " "master1 master2"
expect "qzftconfig -ds " "ftmedia01 ftmedia02"
expect "qzftconfig -dc sanclient01 " "-verbose"
# A tool that cannot list anything offers no names and prints nothing.
printf '#!/bin/sh\necho "no service" >&2\nexit 130\n' > "$stubs/qzftconfig"
expect "qzftconfig -la -Me " ""
exit $failed
