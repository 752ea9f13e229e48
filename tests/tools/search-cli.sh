#!/bin/sh
# Starts staffwatch-server with the demo data on a temporary SQLite file and a free loopback port, runs
# "staffwatch-cli search" with the remaining arguments against it, and stops the server.
# Usage: search-cli.sh SERVER-BINARY CLI-BINARY SEARCH-ARGS...
server=$1
cli=$2
shift 2
dir=$(mktemp -d)
"$server" --db "sqlite:$dir/staffwatch.db" --listen 127.0.0.1:0 --demo --log none >"$dir/out" 2>"$dir/err" &
pid=$!
i=0
while ! grep -q "listening on" "$dir/out" 2>/dev/null; do
  i=$((i + 1))
  if [ $i -gt 100 ] || ! kill -0 $pid 2>/dev/null; then
    echo "the server did not start:"; cat "$dir/err"; kill $pid 2>/dev/null; rm -rf "$dir"; exit 1
  fi
  sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$dir/out")
"$cli" search "$@" --server "$address" --password admin
code=$?
echo "exit=$code"
kill $pid
wait $pid 2>/dev/null
rm -rf "$dir"
