#!/usr/bin/env bash
# test_package.sh BUILD_DIR CPACK VERSION SOURCE_DIR
# Packages the already-built tree, checks it with lintian (no error, warning or informational
# tag beyond its overrides) and its manual pages with mandoc, unpacks the .deb into a temporary
# root and runs the programs from there: --version, and a full read of the simulated instrument.
set -euo pipefail
build=$1 cpack=$2 version=$3 source=$4
for tool in dpkg-deb dpkg-shlibdeps lintian mandoc; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Installs what is built; "all" is not built again (CMAKE_SKIP_INSTALL_ALL_DEPENDENCY).
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  fail "cpack"
fi
debs=("$tmp"/out/tq5800_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "no tq5800_${version}_*.deb"
deb=${debs[0]}

control=$(dpkg-deb -f "$deb")
grep -q '^Depends:.*libqt6serialport6' <<<"$control" || fail "Depends from the library scan: $control"
grep -q '^Depends:.*libqt6widgets6' <<<"$control" || fail "no Qt Widgets in Depends: $control"
grep -q '^Recommends: fonts-noto-cjk' <<<"$control" || fail "no CJK font recommended"
grep -q '^Recommends:.*qt6-translations-l10n' <<<"$control" || fail "no Qt translations recommended"

# A sanitizer or debug tree is built without the hardening flags on purpose (fortified
# functions need optimisation); its package is checked for everything else.
hardening=$(cat "$build/hardening.txt" 2>/dev/null || echo unknown)
suppress=()
if [ "$hardening" = none ]; then
  echo "built without hardening flags: lintian's hardening tags not checked"
  suppress=(--suppress-tags hardening-no-bindnow,hardening-no-fortify-functions)
fi
# Root is not lintian's favourite user; it says so on every run.
lintian --fail-on error,warning,info,pedantic --display-info --pedantic "${suppress[@]}" "$deb" \
  2> >(grep -v 'running with root privileges' >&2) ||
  fail "lintian tags above (built with: $hardening)"

root="$tmp/root"
dpkg-deb -x "$deb" "$root"
for page in "$root"/usr/share/man/man1/*.1.gz; do
  zcat "$page" | mandoc -Tlint -Wstyle || fail "mandoc -Tlint: $(basename "$page")"
done
for f in usr/share/man/man1/tq5800.1.gz usr/share/man/man1/tq5800-cli.1.gz \
    usr/share/man/man1/tq5800-sim.1.gz usr/share/applications/com.norvel.tq5800setup.desktop \
    usr/share/metainfo/com.norvel.tq5800setup.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/tq5800.svg \
    usr/share/icons/hicolor/48x48/apps/tq5800.png usr/share/doc/tq5800/copyright \
    usr/share/doc/tq5800/tq5800-record.schema.json usr/share/lintian/overrides/tq5800; do
  [ -s "$root/$f" ] || fail "missing $f"
done

for program in tq5800 tq5800-cli tq5800-sim; do
  out=$("$root/usr/bin/$program" --version)
  [[ $out == "$program $version"* ]] || fail "$program --version said: $out"
  # Built from a checkout, the version names the commit.
  if [ -d "$source/.git" ]; then
    [[ $out == *"(git "* ]] || fail "$program --version names no commit: $out"
  fi
done

# The reference image lies beside the program the link in /usr/bin leads to.
cli="$root/usr/bin/tq5800-cli"
image="$(dirname "$(readlink -f "$cli")")/TQ5800_Check.DAT"
[ "$(stat -c %s "$image")" -eq 524288 ] || fail "TQ5800_Check.DAT beside the program"

mkdir "$tmp/work"
cd "$tmp/work"
"$cli" --simulate read --json - >record.json 2>progress.txt || {
  cat progress.txt
  fail "tq5800-cli --simulate read"
}
grep -q '"SerialNo"' record.json || fail "no record in the JSON output"
grep -q '"GasName"' record.json || fail "no gas names in the JSON output"
[ -s SerialLog.log ] || fail "no communication log in the current folder"
echo "package ok: $(basename "$deb")"
