#!/usr/bin/env bash
# The station in database mode: builds, creates a SQLite production database in
# build/demo-db with this computer, this login, a programming work place and some registered
# meters, points the ODBC data source "Electrometer" at it, and starts the station against
# the simulated meter. Without a display the station runs on a virtual X server and a
# screenshot is saved instead. Extra arguments go to meter-sim (e.g. --serial 1005).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/demo-common.sh
# Only what the two programs need to build and run (and a virtual screen when there is no
# display), not the test tools.
sets=(build db)
demo_without_display && sets+=(screen)
scripts/install-deps.sh "${sets[@]}"
# Only what the demo runs: the station, the simulator and the help file beside them.
ORDAN_TARGETS="ordan-klv meter-sim" scripts/build.sh build -DORDAN_BUILD_TESTS=OFF -DORDAN_BUILD_BENCH=OFF

demo=$PWD/build/demo-db
rm -rf "$demo"
mkdir -p "$demo"
cp resources/Help_ordan_klv.rtf "$demo/"
# The marker file switches the station to the production database.
: >"$demo/SettingSql.velm"

db=$demo/electrometer.db
sqlite3 "$db" <sql/sqlite.sql
sql_text() { printf "'%s'" "${1//\'/\'\'}"; }
computer=$(hostname)
login=$(id -un)
sqlite3 "$db" <<SQL
INSERT INTO computer(computer_id, name) VALUES (1, $(sql_text "$computer"));
INSERT INTO operator(person_id, login, operating) VALUES (1, $(sql_text "$login"), 1);
INSERT INTO plant(plant_id, type_id, computer_id) VALUES (1, 3, 1);
-- The simulated meter's number and a few fresh ones for "+".
INSERT INTO electrometer(number, type_id) VALUES (77881, 18), (1005, 18), (1010, 18), (1020, 18);
SQL
echo "Production database $db: computer \"$computer\", login \"$login\", work place 1"

# The data source: drivers from the system's list, the source from here only.
cp /etc/odbcinst.ini "$demo/odbcinst.ini"
cat >"$demo/odbc.ini" <<INI
[Electrometer]
Driver=SQLite3
Database=$db
Timeout=5000
FKSupport=1
INI
export ODBCSYSINI=$demo
export ODBCINI=$demo/odbc.ini

start_meter_sim "$@"
cd "$demo"
run_station 78
echo "Operations recorded:"
sqlite3 -header "$db" "SELECT * FROM operation"
