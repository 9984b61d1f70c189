# shellcheck shell=bash
# The options of the stress tools (tools/stress.sh, tools/jack_stress.sh):
# their help, taken from the comment at the top of the script, and the
# checks of their counts. Sourced by a script run from the project folder.

# usage: the comment at the top of the running script, without its "#".
usage() { awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; }

# usageLine: the script's synopsis (the comment line "#   tools/NAME [...")
# as a usage line.
usageLine() {
  local name
  name=$(basename "$0")
  sed -n -E "s|^#   (tools/${name//./\\.} \\[.*)|usage: \\1 (-h tells more)|p" "$0"
}

# requireCounts MIN N...: each N must be a whole number of at least MIN;
# otherwise says which is not, with the usage line, and exits 2.
requireCounts() {
  local min=$1 n
  shift
  for n in "$@"; do
    if ! [[ $n =~ ^(0|[1-9][0-9]*)$ ]] || [ "$n" -lt "$min" ]; then
      echo "not a count of at least $min: $n" >&2
      usageLine >&2
      exit 2
    fi
  done
}

# counted N THING: "1 THING", "2 THINGs".
counted() { if [ "$1" -eq 1 ]; then echo "1 $2"; else echo "$1 $2s"; fi; }
