#!/usr/bin/env bash
# The capture-fidelity benchmark on the display and sound server that scripts/bench started.
set -euo pipefail
build=${KORVALIN_BUILD_DIR:?}
/usr/bin/python3 "@PROJECT_SOURCE_DIR@/bench/fidelity/capture_fidelity.py" run --driver "$build/bench/fidelity/click_driver.exe" \
  --dist "$build/dist" --wine "@PROJECT_SOURCE_DIR@/scripts/wine-exec"
