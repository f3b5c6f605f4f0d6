#!/usr/bin/env bash
# Runs one Windows test program under Wine and returns its exit code.
set -u
. "$(dirname "$0")/wine-env.sh"
kovirant_wine_prefix
wine "$@"
