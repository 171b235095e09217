#!/usr/bin/env bash
# Builds one template database with Firebird's embedded engine (no server involved).
#
#   build_template.sh --output FILE --work DIR --udf LIBRARY --charset CS [--no-reserve]
#                     [--sweep N] [--buffers N] -- SQL_FILE...
#
# The SQL files run in order, in one isql session, after the database has been created with page
# size 4096, dialect 3 and the given default character set. They are UTF-8; the session declares
# UTF8 so every literal reaches the WIN1251 columns transliterated.
#
# Firebird refuses to compile a trigger or procedure that calls an external function it cannot
# load at that moment, so the engine runs from a private copy of its configuration (FIREBIRD)
# whose UdfAccess allows one directory: the freshly built sort-key library under its module name
# "testudf.dll" and Firebird's own UDF libraries. A private lock directory keeps the
# embedded engine apart from a running server. The file appears at --output only when every
# statement succeeded. --buffers stores the size of the server's page cache for this database in its
# header (gfix -buffers), so it holds wherever the file goes.
set -euo pipefail

output= work= udf= charset= no_reserve=0 sweep= buffers=
while [ $# -gt 0 ]; do
  case "$1" in
    --output) output=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --udf) udf=$2; shift 2 ;;
    --charset) charset=$2; shift 2 ;;
    --no-reserve) no_reserve=1; shift ;;
    --sweep) sweep=$2; shift 2 ;;
    --buffers) buffers=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "build_template: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$output" ] && [ -n "$work" ] && [ -n "$udf" ] && [ -n "$charset" ] && [ $# -gt 0 ] ||
  { echo "build_template: missing arguments" >&2; exit 2; }

fb_home=${MIRROX_FIREBIRD_HOME:-/usr/lib/x86_64-linux-gnu/firebird/3.0}
isql=${MIRROX_ISQL:-isql-fb}
gfix=${MIRROX_GFIX:-gfix}
[ -d "$fb_home/plugins" ] || { echo "build_template: no Firebird 3 at $fb_home" >&2; exit 1; }
[ -f "$udf" ] || { echo "build_template: UDF library $udf not built" >&2; exit 1; }

root=$work/fbroot
rm -rf "$root"
mkdir -p "$root/udf" "$root/intl" "$root/lock"
for f in firebird.msg plugins lib plugins.conf databases.conf; do
  ln -s "$fb_home/$f" "$root/$f"
done
# The character set module finds its configuration through its own location, so it is copied,
# not linked.
cp "$fb_home/intl/libfbintl.so" "$root/intl/"
# Only the private directory is open to the engine, so the fresh library is the one that loads,
# never a copy installed for the server; Firebird's own UDF libraries are copied in beside it (a
# symbolic link resolves to a directory outside the allowed one, which the engine refuses).
cp "$udf" "$root/udf/testudf.dll"
cp "$fb_home"/UDF/*.so "$root/udf/"

printf 'UdfAccess = Restrict %s\n' "$root/udf" > "$root/firebird.conf"
export FIREBIRD=$root FIREBIRD_LOCK=$root/lock

db=$work/$(basename "$output").building
rm -f "$db"
trap 'rm -f "$db"' ERR
script=$work/$(basename "$output").sql
{
  echo "SET NAMES UTF8;"
  echo "SET SQL DIALECT 3;"
  echo "CREATE DATABASE '$db' USER 'SYSDBA' PAGE_SIZE 4096 DEFAULT CHARACTER SET $charset;"
  for sql in "$@"; do
    cat "$sql"
    echo
  done
  echo "COMMIT;"
} > "$script"

"$isql" -q -b -user SYSDBA -i "$script"
"$gfix" -user SYSDBA -write sync "$db"
if [ "$no_reserve" = 1 ]; then
  "$gfix" -user SYSDBA -use full "$db"
fi
if [ -n "$sweep" ]; then
  "$gfix" -user SYSDBA -housekeeping "$sweep" "$db"
fi
if [ -n "$buffers" ]; then
  "$gfix" -user SYSDBA -buffers "$buffers" "$db"
fi
mv -f "$db" "$output"
