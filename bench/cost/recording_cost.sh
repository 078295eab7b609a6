#!/usr/bin/env bash
# The recording-cost benchmark on the display and sound server that scripts/bench started.
set -euo pipefail
build=${KORVALIN_BUILD_DIR:?}
/usr/bin/python3 "@PROJECT_SOURCE_DIR@/bench/cost/recording_cost.py" run --driver "$build/bench/fidelity/click_driver.exe" \
  --bare "$build/bench/cost/bare_capture.exe" --dist "$build/dist" --wine "@PROJECT_SOURCE_DIR@/scripts/wine-exec"
