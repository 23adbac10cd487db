#!/bin/sh
# Compiles the scoring library on its own with the system C compiler (no C++, no include path
# outside the folder): cc -std=c11 -pedantic -Wall -Wextra -Werror *.c -lm.
set -e
src="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$src"
cc -std=c11 -pedantic -Wall -Wextra -Werror -shared -fPIC -o "$tmp/libvtcsrc.so" *.c -lm
echo "compiled: $(ls *.c | tr '\n' ' ')"
