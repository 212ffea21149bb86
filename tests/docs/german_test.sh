#!/usr/bin/env bash
# german_test.sh QZFTCONFIG MSG_DIR: a German locale of any country gets the
# German usage text from the built catalogs.
set -u
tool=$1 msg=$2
home=$(mktemp -d /tmp/qzgerman.XXXXXX)
trap 'rm -rf "$home"' EXIT
ln -s "$msg" "$home/msg"
printf 'SERVER = m\nUSE_KMTL = REQUIRED\n' > "$home/qz.conf"
failed=0
for locale in de_DE.UTF-8 de_AT.UTF-8 de_CH; do
  err=$(env -u LC_ALL -u LC_MESSAGES TESSARK_HOME="$home" LANG=$locale "$tool" -help -listclients 2>&1 >/dev/null)
  status=$?
  if [ $status -ne 20 ] || [[ $err != *"AUFRUF:"*"<Client-Name>"* ]]; then
    echo "$locale: status $status, usage: $err"
    failed=1
  fi
done
exit $failed
