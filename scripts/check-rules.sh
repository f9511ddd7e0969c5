#!/usr/bin/env bash
# Fails when a logic source (a file the folders add to ordan_logic) touches what logic must not:
# files, timers, the serial port, the settings store, widgets or GUI types (by including their
# headers), or the platform (by a Q_OS_ macro). Logic links Qt Core alone, but Qt Core itself
# carries QFile, QTimer and QSettings, so the link does not catch these.
set -euo pipefail
cd "$(dirname "$0")/.."

# The files of every target_sources call for logic and for the libraries held to its rules (the
# test stand-ins and the simulated meter), as paths from the repository root.
logic_sources() {
    local cmake dir
    for cmake in src/*/CMakeLists.txt; do
        dir=$(dirname "$cmake")
        awk '
            /target_sources\((ordan_logic|ordan_doubles|ordan_sim)[ \t)]/ { inside = 1 }
            inside {
                line = $0
                sub(/#.*/, "", line)
                closed = index(line, ")") > 0
                sub(/\).*/, "", line)
                sub(/.*target_sources\((ordan_logic|ordan_doubles|ordan_sim)/, "", line)
                n = split(line, words, /[ \t]+/)
                for (i = 1; i <= n; i++)
                    if (words[i] != "" && words[i] != "PRIVATE" && words[i] != "PUBLIC")
                        print words[i]
                if (closed)
                    inside = 0
            }' "$cmake" | sed "s|^|$dir/|"
    done
}

mapfile -t sources < <(logic_sources | sort -u)
if [ "${#sources[@]}" -eq 0 ]; then
    echo "check-rules: no logic sources found" >&2
    exit 1
fi

# Qt Core's own headers; logic includes no header of another Qt module (widgets, GUI, serial
# port, SQL), and of Qt Core's none that reaches a file, a timer, a process or the settings.
qt_headers=$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || qmake6 -query QT_INSTALL_HEADERS)
if [ ! -d "$qt_headers/QtCore" ]; then
    echo "check-rules: Qt Core headers not found (qtpaths6 --query QT_INSTALL_HEADERS)" >&2
    exit 1
fi
core_forbidden='QFile|QFileInfo|QDir|QDirIterator|QFileSystemWatcher|QTimer|QBasicTimer|QSaveFile|QSettings|QTemporaryFile|QTemporaryDir|QLockFile|QProcess|QStandardPaths|QCoreApplication'

declare -A logic
for file in "${sources[@]}"; do logic[$file]=1; done

status=0
for file in "${sources[@]}"; do
    if [ ! -f "$file" ]; then
        echo "check-rules: $file is listed for ordan_logic but does not exist" >&2
        status=1
        continue
    fi
    while IFS=: read -r line header; do
        header=${header#QtCore/}
        if [[ "$header" == */* || ! -f "$qt_headers/QtCore/$header" ]]; then
            echo "$file:$line: <$header> is not a Qt Core header" >&2
            status=1
        elif [[ "$header" =~ ^($core_forbidden)$ ]]; then
            echo "$file:$line: <$header> reaches a file, timer, process or settings store" >&2
            status=1
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file" |
                 sed -E 's/^([0-9]+):.*<([^>]*)>.*/\1:\2/' || true)
    # A project header from outside logic would bring its layer's headers in with it.
    while IFS=: read -r line header; do
        if [[ -z "${logic[src/$header]:-}" ]]; then
            echo "$file:$line: \"$header\" is not a logic header" >&2
            status=1
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
                 sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/' || true)
    while IFS=: read -r line text; do
        echo "$file:$line: platform macro: $text" >&2
        status=1
    done < <(grep -nE '\bQ_OS_[A-Z0-9_]+' "$file" || true)
done

if [ "$status" -ne 0 ]; then
    echo "check-rules: logic sources above include a file, timer, port, settings, widget or GUI header, or test the platform (Q_OS_); move that behind an adapter in ordan_platform" >&2
else
    echo "check-rules: ${#sources[@]} logic sources clean"
fi
exit $status
