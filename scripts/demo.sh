#!/usr/bin/env bash
# Installs what is missing, builds, and starts the station against the simulated meter on a
# pseudo-terminal. Closing the station ends the simulator. Without a display the station runs
# on a virtual X server and a screenshot is saved instead.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/demo-common.sh
# Only what the two programs need to build and run (and a virtual screen when there is no
# display), not the test tools.
sets=(build)
demo_without_display && sets+=(screen)
scripts/install-deps.sh "${sets[@]}"
# Only what the demo runs: the station, the simulator and the help file beside them.
ORDAN_TARGETS="ordan-klv meter-sim" scripts/build.sh build -DORDAN_BUILD_TESTS=OFF -DORDAN_BUILD_BENCH=OFF

demo=build/demo
mkdir -p "$demo"
cp resources/Help_ordan_klv.rtf "$demo/"

start_meter_sim "$@"
cd "$demo"
[ -e Setting.DBF ] || ../bin/ordan-klv --create-setting-table Setting.DBF
run_station 77
