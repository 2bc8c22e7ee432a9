#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a command with DBUS_SYSTEM_BUS_ADDRESS on a private bus where a mock login manager (the
# logind template of python3-dbusmock) is started by the bus on first use. Exits 77 (skipped)
# when dbus-daemon or the mock is missing.
set -eu
command -v dbus-daemon >/dev/null 2>&1 || exit 77
/usr/bin/python3 -c "import dbusmock.templates.logind" 2>/dev/null || exit 77

dir=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM
mkdir "$dir/services"
cat >"$dir/services/login1.service" <<SERVICE
[D-BUS Service]
Name=org.freedesktop.login1
Exec=/usr/bin/python3 -m dbusmock --system --template logind
SERVICE
cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$dir/bus</listen>
  <servicedir>$dir/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
# The mock is started by the bus, so it sees the bus as the system bus too.
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus"
export DBUS_SYSTEM_BUS_ADDRESS
# With --fork the call returns once the bus listens.
pid=$(dbus-daemon --config-file="$dir/bus.conf" --fork --print-pid=1)
"$@"
