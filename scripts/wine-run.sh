#!/usr/bin/env bash
# Runs a Windows program under Wine.
exec timeout 600 wine "$@"
