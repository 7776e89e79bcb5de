#!/usr/bin/env bash
# Builds the Debian package quarnel-veltra_<version>_<architecture>.deb into dist/ from the
# normal build and checks it with lintian. Install it with
#   sudo apt install ./dist/quarnel-veltra_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh normal
rm -f dist/quarnel-veltra_*.deb
cpack --config build/CPackConfig.cmake -B dist
lintian --fail-on error dist/quarnel-veltra_*.deb
ls -l dist/quarnel-veltra_*.deb
