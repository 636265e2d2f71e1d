#!/usr/bin/env bash
# The x86_64 build of the library under wine64 (Debian's wine; never wine32).
#   bash tools/wine.sh [package|conformance|option|dialogs]...   (all four by default)
#   package      build the test installation package with wixl, install it with
#                wine64 msiexec, check the installer log, properties, files and
#                registry, uninstall it and check what is left
#   conformance  winsim's conformance tests, cross-built, run under wine64
#   option       a test option setup library built against the library's
#                headers and import library, driven by a test program
#   dialogs      the library's dialogs opened on a virtual display (Xvfb) from
#                the DLL's templates, checked by id and pictured (PNG files in
#                build-wine/dialogs-png/), then closed with their buttons
# Run through `bash tools/dev.sh wine`, which installs what it needs first.
# Every step runs in its own fresh, headless prefix (under build-wine/, or in
# the home of the unprivileged user that runs the tests), every Wine command
# with a time-out; the prefix's wineserver is stopped at the end, also on
# failure.
# Logs stay in build-wine/logs/.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT=$ROOT/build-wine
LOGS=$OUT/logs
JOBS=${JOBS:-2}
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
PRODUCT_CODE='{3B6F08D4-F5E2-11D3-90B2-00A0245DF264}'
# Seconds a single Wine step may take before the run fails.
WINE_TIMEOUT=${WINE_TIMEOUT:-300}

fail() { echo "wine: FAILED: $*" >&2; exit 1; }
note() { echo "wine: $*"; }

# ---- the prefix -------------------------------------------------------------

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export WINELOADER=$WINE64
unset DISPLAY WAYLAND_DISPLAY

stop_wineserver() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        timeout 30 "${RUN_AS[@]}" WINEPREFIX="$WINEPREFIX" "$WINESERVER" -k 2>/dev/null || true
        timeout 30 "${RUN_AS[@]}" WINEPREFIX="$WINEPREFIX" "$WINESERVER" -w 2>/dev/null || true
    fi
}
XVFB_PID=
stop_xvfb() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}
trap 'stop_wineserver; stop_xvfb' EXIT
trap 'exit 130' INT TERM

# Who runs Wine. The installation runs as the caller (root in CI, an
# administrator to the installer). The tests run as an unprivileged user when
# the caller is root: Wine maps file attributes such as read-only onto Unix
# permissions, and those do not bind root.
RUN_AS=(env)
PREFIXES=$OUT
run_unprivileged() {
    if [ "$(id -u)" -eq 0 ]; then
        id qlwine >/dev/null 2>&1 ||
            useradd --system --create-home --home-dir /var/lib/qlwine --shell /usr/sbin/nologin qlwine
        RUN_AS=(runuser -u qlwine -- env HOME=/var/lib/qlwine)
        # Its prefixes and programs live in its home: it may not be able to
        # reach into the caller's folders.
        PREFIXES=/var/lib/qlwine
    fi
}
run_as_caller() {
    RUN_AS=(env)
    PREFIXES=$OUT
}

# w SECONDS PROGRAM ARGS... : a Windows program under wine64 with a time-out.
w() {
    local limit=$1
    shift
    timeout --kill-after=10 "$limit" "${RUN_AS[@]}" ${WINE_DISPLAY:+DISPLAY=$WINE_DISPLAY} WINEPREFIX="$WINEPREFIX" \
        "$WINE64" "$@"
}

# A fresh prefix named $1: headless, the oldest Windows version wine64 accepts.
new_prefix() {
    stop_wineserver
    export WINEPREFIX=$PREFIXES/$1
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    [ "${RUN_AS[0]}" = env ] || chown qlwine: "$WINEPREFIX"
    local bootlog
    bootlog="$LOGS/$(basename "$WINEPREFIX")-wineboot.log"
    # wineboot now and then hangs on a loaded machine without a word; a second
    # try on a clean prefix gets through.
    if ! w "$WINE_TIMEOUT" wineboot --init >"$bootlog" 2>&1; then
        note "wineboot --init failed or hung; trying once more on a clean prefix"
        stop_wineserver
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        [ "${RUN_AS[0]}" = env ] || chown qlwine: "$WINEPREFIX"
        w "$WINE_TIMEOUT" wineboot --init >>"$bootlog" 2>&1 || { cat "$bootlog"; fail "wineboot --init"; }
    fi
    # A 64-bit prefix refuses Windows 2000; Windows XP x64 (NT 5.2) is the
    # oldest it takes.
    local version
    for version in win2k winxp64; do
        if w 60 winecfg /v "$version" >/dev/null 2>&1; then break; fi
    done
    WINDOWS_VERSION=$(w 60 winecfg /v 2>/dev/null | tr -d '\r')
    local nt
    nt=$(w 60 reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentVersion 2>/dev/null |
        tr -d '\r' | awk '$1 == "CurrentVersion" {print $3}')
    note "prefix $WINEPREFIX: Windows version $WINDOWS_VERSION (NT $nt)"
    case "$WINDOWS_VERSION" in win2k | winxp64) ;; *) fail "could not set an old Windows version" ;; esac
}

# ---- builds -------------------------------------------------------------------

build_dll() {
    cmake -S . -B build-win-x86_64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build-win-x86_64 -j "$JOBS"
    DLL=$ROOT/build-win-x86_64/QLSETGUI.dll
    [ -f "$DLL" ] || fail "no $DLL"
}

# The names of packaging/actions.list.
listed_actions() { sed -e 's/#.*//' -e 's/[[:space:]]//g' packaging/actions.list | grep -v '^$' || true; }

# The package and a setup medium beside it (the package, QLBSETUP.INF and
# QUILLBAK.ICF, as on the CD).
build_package() {
    local exports defines=() a
    exports=$(x86_64-w64-mingw32-objdump -p "$DLL" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
    for a in $(listed_actions); do
        grep -q "\] $a\$" <<<"$exports" || fail "packaging/actions.list names $a, which QLSETGUI.dll does not export"
        grep -q "var.QL_$a " packaging/quillbak.wxs || fail "packaging/quillbak.wxs has no place for $a"
        defines+=(-D "QL_$a=1")
    done
    rm -rf "$OUT/setup"
    mkdir -p "$OUT/setup"
    # wixl takes sources relative to the current folder only.
    wixl -a x64 "${defines[@]}" -D QlPayload=packaging/payload -D QlSetupDir=examples/setup-dir \
        -D QlSetGuiDll="${DLL#"$ROOT"/}" -o "$OUT/setup/QUILLBAK.MSI" packaging/quillbak.wxs
    cp examples/setup-dir/QLBSETUP.INF "$OUT/setup/"
    # The checks hand the configuration file's folder to INSTALLDIR, and the
    # prefix has no drive E:, so the medium's file names the package's folder.
    sed 's/^QuillbakPath=.*/QuillbakPath=C:\\Program Files\\Quillbak/' examples/setup-dir/QUILLBAK.ICF \
        >"$OUT/setup/QUILLBAK.ICF"
    note "package: $OUT/setup/QUILLBAK.MSI with actions: $(listed_actions | tr '\n' ' ')"
}

# ---- checks of an installer log ---------------------------------------------------

CHECKS=0
check() {  # check DESCRIPTION COMMAND... : one counted check
    local what=$1
    shift
    if "$@"; then
        CHECKS=$((CHECKS + 1))
    else
        fail "$what"
    fi
}

# msiexec SECONDS LOG ARGS... : sets MSI_RC. A time-out shows the log.
msiexec_run() {
    local limit=$1 log=$2
    shift 2
    MSI_RC=0
    w "$limit" msiexec "$@" /qn /l*v "$(winpath "$log")" >>"$LOGS/msiexec-console.log" 2>&1 || MSI_RC=$?
    if [ "$MSI_RC" -eq 124 ] || [ "$MSI_RC" -eq 137 ]; then
        [ -f "$log" ] && tail -n 60 "$log"
        fail "msiexec $* timed out after ${limit}s"
    fi
}

winpath() { echo "Z:${1//\//\\}"; }

# The value of a property at the end of the run ("Property(S): NAME = value").
final_property() { tr -d '\r' <"$1" | sed -n "s/^Property(S): $2 = //p" | tail -n 1; }

# The line an action logs first: "Name() - Started", except for the actions
# without that prologue (the database feature logs its choice; the database
# removal logs only what it did, and nothing in a run without user interface;
# the administrator check and the database type log nothing of their own).
first_line() {
    case "$1" in
    SetQuillbakDatabaseType) echo '^SetQuillbakDatabaseType\(\) - SELECTDBTYPE is ' ;;
    InstallDiscoveryService) echo '^InstallDiscoveryService\(\) - ProdSubType = ' ;;
    InstallVaxwall) echo '^ - Vaxguard Feature State \(' ;;
    RemoveSQLDatabase | IsAdministrator | GetExistDatabaseType | CreateJobQueue) echo '' ;;
    # Its lines go to QLBSHARE.LOG in the temporary folder, not to the installer log.
    InstallTest) echo '' ;;
    *) echo "^$1\\(\\) - started\$" ;;
    esac
}

# Every listed action that the log shows starting: its first line between its
# start and end, and a successful end. Prints the names it found.
check_action_lines() {
    local log=$1 a start body first
    for a in $(listed_actions); do
        start=$(grep -an "^Action start [0-9:]*: $a\.\$" <(tr -d '\r' <"$log") | head -n 1 | cut -d: -f1 || true)
        [ -n "$start" ] || continue
        body=$(tr -d '\r' <"$log" | sed -n "$((start + 1)),\$p" | sed "/^Action ended [0-9:]*: $a\./q")
        first=$(first_line "$a")
        [ -z "$first" ] || check "$a: no line matching \"$first\" in $log" grep -qiE "$first" <<<"$body"
        check "$a: no successful end in $log" grep -qE "^Action ended [0-9:]*: $a\. Return value 1\.\$" <<<"$body"
        echo "$a"
    done
}

reg_value() {  # reg_value KEY NAME: the data, empty when missing
    w 60 reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n {sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print}'
}

# "yes" when the uninstall key of the product exists.
product_registered() {
    if w 60 reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$PRODUCT_CODE" >/dev/null 2>&1; then
        echo yes
    else
        echo no
    fi
}

package_step() {
    run_as_caller
    build_dll
    build_package
    new_prefix prefix-package
    local home="$WINEPREFIX/drive_c/Program Files/Quillbak" key='HKLM\SOFTWARE\Veltmark\QuillbakTest'
    local inst=$LOGS/install.log uninst=$LOGS/uninstall.log seen
    rm -f "$LOGS"/install*.log "$LOGS"/uninstall.log "$LOGS"/msiexec-console.log

    # A check's "ERRORMSG" stops the run at the launch conditions, with
    # nothing installed. Only while no action of the list clears it first.
    if ! listed_actions | grep -qx AllowInstall; then
        msiexec_run "$WINE_TIMEOUT" "$LOGS/install-errormsg.log" /i "$(winpath "$OUT/setup/QUILLBAK.MSI")" \
            "ERRORMSG=Setup cannot go on"
        # Wine hands Linux only the low byte of the exit code: 1603 & 255.
        check "ERRORMSG: exit code $MSI_RC, not 1603" test "$MSI_RC" -eq $((1603 & 255))
        check "ERRORMSG: launch conditions passed" \
            grep -qa "LaunchConditions. Return value 0." "$LOGS/install-errormsg.log"
        check "ERRORMSG: files were copied" test ! -e "$home/README.TXT"
    fi

    # The installation, with an upgrade warning handed in as a check would.
    msiexec_run "$WINE_TIMEOUT" "$inst" /i "$(winpath "$OUT/setup/QUILLBAK.MSI")" \
        "WARNINGMSG=An earlier version will be upgraded"
    if [ "$MSI_RC" -ne 0 ]; then
        tail -n 60 "$inst"
        fail "install: msiexec exit code $MSI_RC"
    fi
    check "install: no end of the installation" grep -qa "Action ended [0-9:]*: INSTALL. Return value 1." "$inst"
    seen=$(check_action_lines "$inst")
    check "install: WARNINGMSG not recorded" test "$(final_property "$inst" QLWARNING)" = \
        "An earlier version will be upgraded"
    check "install: INSTALLDIR" test "$(final_property "$inst" INSTALLDIR)" = 'C:\Program Files\Quillbak\'
    local errormsg
    errormsg=$(final_property "$inst" ERRORMSG)
    if listed_actions | grep -qx CreateSystemAccount; then
        # The setup folder's configuration names the service account
        # "qlbackup", which a Wine prefix does not have: the account step says
        # so, and the package goes on (it reads SYSTEMSTATUS, not the result).
        check "install: SYSTEMSTATUS is not ERROR" test "$(final_property "$inst" SYSTEMSTATUS)" = ERROR
        check "install: ERRORMSG is \"$errormsg\"" test "$errormsg" = \
            "Failed to verify Quillbak user account.  The account does not exist on this machine."
    else
        check "install: ERRORMSG is \"$errormsg\"" test -z "$errormsg" -o "$errormsg" = NONE
    fi
    local f
    for f in README.TXT QLBSETUP.INF QLADMIN.TXT QLVLDB.TXT; do
        check "install: $f not installed" test -f "$home/$f"
    done
    for f in VAXGUARD.TXT QLSQL.TXT; do
        check "install: $f of a feature not chosen was installed" test ! -e "$home/$f"
    done
    check "install: QLBSETUP.INF differs" cmp -s "$home/QLBSETUP.INF" examples/setup-dir/QLBSETUP.INF
    check "install: registry Server" test "$(reg_value "$key" Server)" = 'C:\Program Files\Quillbak\'
    check "install: registry Database" test "$(reg_value "$key" Database)" = VLDB
    check "install: product not registered" test "$(product_registered)" = yes
    if listed_actions | grep -qx InstallTest; then
        # InstallTest logs its home-share step to QLBSHARE.LOG in the temporary folder.
        check "install: InstallTest wrote no QLBSHARE.LOG" \
            grep -qa "Start to CreateQuillbakHomeShare" "$(find "$WINEPREFIX/drive_c/users" -iname QLBSHARE.LOG | head -n 1)"
    fi

    # Removal.
    msiexec_run "$WINE_TIMEOUT" "$uninst" /x "$PRODUCT_CODE"
    if [ "$MSI_RC" -ne 0 ]; then
        tail -n 60 "$uninst"
        fail "uninstall: msiexec exit code $MSI_RC"
    fi
    check "uninstall: no end of the removal" grep -qa "Action ended [0-9:]*: INSTALL. Return value 1." "$uninst"
    check "uninstall: REMOVE is not ALL" test "$(final_property "$uninst" REMOVE)" = ALL
    seen="$seen $(check_action_lines "$uninst")"
    for f in README.TXT QLBSETUP.INF QLADMIN.TXT QLVLDB.TXT; do
        check "uninstall: $f left behind" test ! -e "$home/$f"
    done
    check "uninstall: registry values left behind" test -z "$(reg_value "$key" Server)"
    check "uninstall: product still registered" test "$(product_registered)" = no

    local a
    for a in $(listed_actions); do
        check "$a is listed but ran in neither installation nor removal" grep -qw "$a" <<<"$seen"
    done
    note "package: $CHECKS checks passed; actions run: $(echo $seen)"
    stop_wineserver
}

# ---- winsim's conformance tests -----------------------------------------------------

build_wine_tests() {
    cmake -S tests/wine -B "$OUT/tests" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64-posix.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DQLSETGUI_BUILD_DIR="$ROOT/build-win-x86_64" >/dev/null
    cmake --build "$OUT/tests" -j "$JOBS" --target "$@"
}

conformance_step() {
    run_unprivileged
    build_dll
    build_wine_tests test_winsim testmod wsprog
    local bin=$OUT/conformance log=$LOGS/conformance.log
    rm -rf "$bin"
    mkdir -p "$bin"
    cp "$OUT/tests/test_winsim.exe" "$OUT/tests/TESTMOD.DLL" "$OUT/tests/wsprog.exe" "$DLL" "$bin/"
    wixl -a x64 -o "$bin/session.msi" tests/wine/session.wxs
    new_prefix prefix-conformance
    # Windows without a display: the null graphics driver makes the dialogs.
    w 60 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 ||
        fail "conformance: cannot select the null graphics driver"
    stop_wineserver  # the desktop process starts again with it
    run_tests "$bin" test_winsim.exe "$log" "${CONFORMANCE_TIMEOUT:-900}"
    note "conformance: the tests that passed pass on the simulated machine too (bash tools/dev.sh test)"
}

# run_tests FOLDER PROGRAM LOG SECONDS : a GoogleTest program under Wine; shows
# its result and summary, and on failure what failed.
run_tests() {
    local bin=$1 program=$2 log=$3 limit=$4 rc=0
    # The programs run from inside the prefix, owned by whoever runs Wine
    # (some tests place programs beside the test program).
    local run=$WINEPREFIX/drive_c/qltests
    cp -r "$bin" "$run"
    [ "${RUN_AS[0]}" = env ] || chown -R qlwine: "$run"
    (cd "$run" && w "$limit" "$program") >"$log" 2>&1 || rc=$?
    tr -d '\r' <"$log" | sed -n '/^\[==========\] .* ran\./,$p'
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
        tail -n 40 "$log"
        fail "$program timed out after ${limit}s (log: $log)"
    fi
    if [ "$rc" -ne 0 ]; then
        tr -d '\r' <"$log" | grep -a -B2 -A12 'Failure$' | head -n 120
        fail "$program under Wine (log: $log)"
    fi
    stop_wineserver
}

# ---- an option setup library over the exported classes ------------------------------

option_step() {
    run_unprivileged
    build_dll
    build_wine_tests qltestop test_option
    local bin=$OUT/option
    rm -rf "$bin"
    mkdir -p "$bin"
    cp "$OUT/tests/test_option.exe" "$OUT/tests/QLTESTOP.DLL" "$DLL" \
        examples/setup-dir/QUILLBAK.ICF examples/setup-dir/QLBSETUP.INF "$bin/"
    new_prefix prefix-option
    run_tests "$bin" test_option.exe "$LOGS/option.log" 300
}

# ---- the library's dialogs on a virtual display -----------------------------------------

dialogs_step() {
    run_unprivileged
    command -v Xvfb >/dev/null || fail "dialogs: Xvfb is not installed (bash tools/dev.sh wine installs xvfb)"
    command -v convert >/dev/null || fail "dialogs: convert is not installed (imagemagick)"
    build_dll
    build_wine_tests show_dialogs
    local bin=$OUT/dialogs shots=$OUT/dialogs-png log=$LOGS/dialogs.log rc=0 n
    rm -rf "$bin" "$shots"
    mkdir -p "$bin" "$shots"
    cp "$OUT/tests/show_dialogs.exe" "$DLL" "$bin/"
    new_prefix prefix-dialogs
    # A display of its own: the first free number from 90.
    for n in $(seq 90 120); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
    Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp -ac >"$LOGS/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.2; done
    [ -e "/tmp/.X11-unix/X$n" ] || { cat "$LOGS/xvfb.log"; fail "dialogs: Xvfb did not start"; }
    # The prefix was made without a display: its desktop process starts again on this one.
    stop_wineserver
    local run=$WINEPREFIX/drive_c/qldialogs
    cp -r "$bin" "$run"
    [ "${RUN_AS[0]}" = env ] || chown -R qlwine: "$run"
    (cd "$run" && WINE_DISPLAY=":$n" w 300 show_dialogs.exe) >"$log" 2>&1 || rc=$?
    tr -d '\r' <"$log" | grep -a -E '^(ok  |FAIL|[0-9]+ checks)' || true
    local bmp
    for bmp in "$run"/dialog-*.bmp; do
        [ -f "$bmp" ] || continue
        convert "$bmp" "$shots/$(basename "${bmp%.bmp}").png" || fail "dialogs: cannot convert $bmp"
    done
    stop_wineserver
    stop_xvfb
    [ "$rc" -eq 0 ] || fail "dialogs: show_dialogs.exe under Wine (log: $log)"
    note "dialogs: pictures in $shots: $(cd "$shots" && echo *.png)"
}

# ---- main -------------------------------------------------------------------------

mkdir -p "$LOGS"
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(package conformance option dialogs)
for step in "${steps[@]}"; do
    start=$SECONDS
    case "$step" in
    package) package_step ;;
    conformance) conformance_step ;;
    option) option_step ;;
    dialogs) dialogs_step ;;
    *)
        sed -n '2,15p' "$0"
        exit 2
        ;;
    esac
    note "$step: done in $((SECONDS - start)) s"
done
