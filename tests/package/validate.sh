#!/usr/bin/env bash
# validate.sh TOOL [ARGS...] FILE: runs a validator; skips (77) when it is not installed.
if ! command -v "$1" >/dev/null 2>&1; then
  echo "SKIP: $1 is not installed (scripts/install-deps installs it)"
  exit 77
fi
exec "$@"
