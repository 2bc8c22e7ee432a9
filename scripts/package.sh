#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages zmr470-update and zmr470-update-simulator (the `package` preset,
# installed under /usr) into build-package/packages/, and checks them: the desktop entry and the
# AppStream metainfo with their validators, each package's files, lintian (no error allowed).
# Usage: scripts/package.sh [--check-install]
#   --check-install  then also install zmr470-update with apt-get, run the installed
#                    `zmr470-update-cli --version` with no library path, and remove it again
#                    (CI; only on a machine where the package is not installed already)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh --package
cmake --preset package
cmake --build --preset package -j "$(nproc)"
rm -f build-package/packages/*.deb
cpack --preset package
desktop-file-validate build-package/packaging/*.desktop
appstreamcli validate --no-net --explain build-package/packaging/*.metainfo.xml

main=$(ls build-package/packages/zmr470-update_*.deb)
sim=$(ls build-package/packages/zmr470-update-simulator_*.deb)

# Each package holds what it must and not the other's files.
check_contents() {
  local deb=$1
  shift
  local listing
  listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
  for pattern in "$@"; do
    local negate=""
    [ "${pattern:0:1}" = "!" ] && negate=1 && pattern=${pattern:1}
    if grep -Eq "^\./$pattern\$" <<<"$listing"; then
      [ -z "$negate" ] || { echo "$deb: has $pattern" >&2; exit 1; }
    else
      [ -n "$negate" ] || { echo "$deb: lacks $pattern" >&2; exit 1; }
    fi
  done
}
lib="usr/lib/[^/]+/zmr470-update"
check_contents "$main" usr/bin/zmr470-update usr/bin/zmr470-update-cli \
  "$lib/libTUsbPrIf.so" "$lib/libZUsbXpIf.so" "$lib/libzmr_platform.so" \
  "$lib/libzmr_driver_api.so" usr/lib/udev/rules.d/70-zmr470.rules \
  "usr/share/applications/.+\.desktop" "usr/share/metainfo/.+\.metainfo\.xml" \
  "usr/share/icons/hicolor/(16x16|22x22|24x24|32x32|48x48|64x64|128x128|256x256)/apps/.+\.png" \
  usr/share/man/man1/zmr470-update.1.gz usr/share/man/man1/zmr470-update-cli.1.gz \
  usr/share/doc/zmr470-update/copyright usr/share/doc/zmr470-update/changelog.gz \
  "!$lib/sim/.*" "!usr/bin/zmr470-update-demo"
check_contents "$sim" "$lib/sim/libTUsbPrIf.so" "$lib/sim/libZUsbXpIf.so" \
  "$lib/sim/libzmr_sim.so" usr/bin/zmr470-update-demo usr/share/man/man1/zmr470-update-demo.1.gz \
  usr/share/doc/zmr470-update-simulator/copyright "!usr/bin/zmr470-update(-cli)?" \
  "!$lib/lib[^/]*\.so"

lintian --fail-on error --info "$main" "$sim"
for deb in "$main" "$sim"; do
  echo "$deb"
  dpkg-deb -f "$deb" Package Version Depends Recommends | sed 's/^/  /'
done

if [ "${1:-}" = "--check-install" ]; then
  if dpkg-query -W -f='${Status}' zmr470-update 2>/dev/null | grep -q "install ok installed"; then
    echo "zmr470-update is installed already: not checking the install" >&2
    exit 1
  fi
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$PWD/$main"
  status=0
  env -u LD_LIBRARY_PATH /usr/bin/zmr470-update-cli --version || status=$?
  DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq zmr470-update
  exit "$status"
fi
