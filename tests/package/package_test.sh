#!/usr/bin/env bash
# Checks the Debian package scripts/package.sh made (in RELEASE_DIR): its fields and files, that
# lintian, appstreamcli and man find nothing wrong, and, in CI (CI=true, as root), that it
# installs, runs a script against the test vsftpd and purges without a trace. Exit 77 (skipped)
# when there is no package or no dpkg-deb outside CI.
set -euo pipefail
release="$1" version="$2" transfer_tests="$3"
skip() {
    if [ "${CI:-}" = true ]; then
        echo "FAIL: $*"
        exit 1
    fi
    echo "skipped: $*"
    exit 77
}
command -v dpkg-deb >/dev/null || skip "no dpkg-deb here"
shopt -s nullglob
debs=("$release"/vorlen-ftp_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] || skip "no package in $release (scripts/package.sh makes it)"
deb="${debs[0]}"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

[ "$(dpkg-deb --field "$deb" Package)" = vorlen-ftp ] || fail "package name"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "version"
depends="$(dpkg-deb --field "$deb" Depends)"
for dep in gzip openssh-client libqt6widgets6 libqt6network6; do
    [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done
mapfile -t contents < <(dpkg-deb --fsys-tarfile "$deb" | tar -tf -)
for file in ./usr/bin/vorlen ./usr/share/applications/vorlen-ftp.desktop \
    ./usr/share/icons/hicolor/scalable/apps/vorlen-ftp.svg \
    ./usr/share/metainfo/org.vorlenftp.VorlenFTP.metainfo.xml \
    ./usr/share/man/man1/vorlen.1.gz ./usr/share/doc/vorlen-ftp/copyright \
    ./usr/share/doc/vorlen-ftp/changelog.gz; do
    printf '%s\n' "${contents[@]}" | grep -qxF "$file" || fail "missing $file"
done

tree="$(mktemp -d)"
installed=""
cleanup() {
    rm -rf "$tree"
    # Never leaves the package installed, whatever failed after the install.
    [ -z "$installed" ] || apt-get purge -y -qq vorlen-ftp >/dev/null 2>&1 || true
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$tree"
sections="$(readelf -S "$tree/usr/bin/vorlen")" || fail "readelf"
if grep -q '\.debug_info' <<<"$sections"; then
    fail "the program carries its debugging information"
fi
appstreamcli validate --no-net "$tree/usr/share/metainfo/org.vorlenftp.VorlenFTP.metainfo.xml" >/dev/null ||
    fail "appstreamcli validate"
warnings="$(MANWIDTH=80 man --warnings -l "$tree/usr/share/man/man1/vorlen.1.gz" 2>&1 >/dev/null)" ||
    fail "man"
[ -z "$warnings" ] || fail "man warnings: $warnings"
page="$(MANWIDTH=80 man -l "$tree/usr/share/man/man1/vorlen.1.gz" 2>/dev/null)" || fail "man"
grep -qF "Vorlen FTP $version" <<<"$page" || fail "the manual does not name the version"
if command -v lintian >/dev/null; then
    errors="$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep '^E:' || true)"
    [ -z "$errors" ] || fail "lintian: $errors"
fi

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    installed=yes
    apt-get install -y -qq "$deb" >/dev/null || fail "apt-get install"
    [ "$(/usr/bin/vorlen --version)" = "Vorlen FTP $version" ] || fail "vorlen --version"
    # The installed program runs the script tests' unattended script against vsftpd.
    run="$(VORLEN_TEST_EXECUTABLE=/usr/bin/vorlen "$transfer_tests" \
        --gtest_filter='Over/ScriptRun.ExecutableRunsTheScriptHeadlessWithItsExitStatus/Ftp' 2>&1)" ||
        fail "the installed program's script run: $run"
    grep -qF "[  PASSED  ] 1 test" <<<"$run" || fail "the script test did not run: $run"
    apt-get purge -y -qq vorlen-ftp >/dev/null || fail "apt-get purge"
    installed=""
    if dpkg -s vorlen-ftp >/dev/null 2>&1; then
        fail "still known to dpkg after purge"
    fi
    for file in "${contents[@]}"; do
        path="${file#.}"
        [ -z "$path" ] || [ -d "$path" ] || [ ! -e "$path" ] || fail "$path left after purge"
    done
fi
[ "$failures" -eq 0 ] || exit 1
echo "package $deb: fine"
