#!/usr/bin/env bash
# Installs pinned npm packages into DIR/node_modules unless every one is
# there at its version already. Each generator has its own DIR: an npm
# install into a shared folder removes the packages it was not told of.
#
#   tools/npm_pinned.sh DIR name@version...
set -euo pipefail
cd "$1"
shift
for p in "$@"; do
  name=${p%@*} ver=${p##*@}
  grep -qs "\"version\": \"$ver\"" "node_modules/$name/package.json" || {
    exec npm install --prefix . --no-save --no-package-lock --no-audit --no-fund "$@" >/dev/null
  }
done
