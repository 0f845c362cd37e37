#!/usr/bin/env bash
# Runs a Windows program under Wine with a prefix of its own.
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/server-maintenance-wine}
exec timeout 600 wine "$@"
