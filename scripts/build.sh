#!/usr/bin/env bash
# Builds the three programs, the simulators and the tests: scripts/build.sh [Release|Debug]
set -euo pipefail
source "$(dirname "$0")/common.sh"
tarn_packages
tarn_build "${1:-Debug}"
