#!/bin/sh
# mirrox: the dispatch centre's replication server and console, as a package installs it.
# The installation lives in /var/lib/mirrox: the settings file, the log and the local databases
# stand beside the link to the program there, which is what makes that directory the installation.
# Operators are the members of the group "mirrox"; what the program creates stays theirs to share.
set -e
home=/var/lib/mirrox
if [ "${1:-}" = /auto ] && [ ! -w "$home" ]; then
  # The unattended start is offered at every desktop login; it is an operator's session's alone.
  exit 0
fi
umask 007
# The row error file "replica_error.txt" is written to the working directory: keep it with the rest.
cd "$home"
exec "$home/mirrox" "$@"
