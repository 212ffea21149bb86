#!/usr/bin/env bash
# floors_test.sh ROOT: the tool's folders are floors, each building only on
# those below it: platform/ at the bottom, then run/, then session/, then
# listings/ and changes/ side by side, and frontend/ on top. Within a folder
# (and in qzsld/) no two files include each other's headers. Names every
# include that breaks this.
set -u
cd "$1" || exit 2
failed=0

# "file include" for each quoted include of the files of a folder; an include
# without a folder names a file of the same folder.
includes() {
  local file include
  for file in "$1"/*.cc "$1"/*.h; do
    [ -e "$file" ] || continue
    sed -n 's/^#include "\(.*\)".*/\1/p' "$file" | while read -r include; do
      [[ $include == */* ]] || include=$1/$include
      echo "$file $include"
    done
  done
}

refuse() {
  echo "$1 includes $2 ($3)"
  failed=1
}

# The headers generated from the remote contract, which any floor may use.
contract=" $(for idl in idl/*.idl; do basename "$idl" .idl; done | tr '\n' ' ') "
while read -r file include; do
  [[ $include == platform/* ]] && continue
  [[ $include == platform/*.hh && $contract == *" $(basename "$include" .hh) "* ]] && continue
  refuse "$file" "$include" "platform/ builds on nothing of the tool"
done < <(includes platform)

# check_floor FOLDER ABOVE...: FOLDER includes nothing of the folders ABOVE.
check_floor() {
  local folder=$1 file include above
  shift
  while read -r file include; do
    for above in "$@"; do
      [[ $include == "$above"/* ]] && refuse "$file" "$include" "$above/ does not lie below $folder/"
    done
  done < <(includes "$folder")
}
check_floor run frontend session listings changes
check_floor session frontend listings changes
check_floor listings frontend changes
check_floor changes frontend listings

# check_circles FOLDER: no two files of FOLDER include each other's headers.
check_circles() {
  local edges file include from to back backFile backInclude
  edges=$(includes "$1" | while read -r file include; do
    [[ $include == "$1"/*.h ]] || continue
    from=${file%.*} to=${include%.h}
    [ "$from" != "$to" ] && echo "$from $to $file $include"
  done)
  while read -r from to file include; do
    [[ -n $from && $from < $to ]] || continue
    back=$(grep -m1 "^$to $from " <<<"$edges") || continue
    read -r _ _ backFile backInclude <<<"$back"
    echo "$file includes $include and $backFile includes $backInclude (a circle)"
    failed=1
  done <<<"$edges"
}
for folder in platform run session listings changes frontend qzsld; do check_circles "$folder"; done
exit $failed
