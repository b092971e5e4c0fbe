#!/usr/bin/env bash
# The installer under wine, in a fresh 64-bit prefix (32-bit programs under WoW64):
#   1. a silent install (msiexec /i /qn);
#   2. its files, and both servers' registry entries as each architecture's programs see them;
#   3. the VBScript client (64- and 32-bit cscript) and the C++ clients, late and early bound,
#      32- and 64-bit, against the installed servers, which find no module here; a C program
#      built against the installed header and import libraries, run on the installed library;
#   4. a silent uninstall (msiexec /x /qn);
#   5. no file and no registry entry left that was not there before;
# then the servers registered by their own DllRegisterServer at the same places give the same
# entries as the installer wrote.
#
# usage: installer_wine.sh MSI BUILD_ROOT
#   BUILD_ROOT  the Windows builds' folder: x86_64/ and i686/, each with ship/ and bin/ built
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 MSI BUILD_ROOT" >&2; exit 2; }
msi=$(realpath "$1") build_root=$(realpath "$2")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
wine_run=$source_dir/scripts/wine-run
com_wine=$source_dir/tests/automation_server/com_wine.sh
prefix=$build_root/wineprefix-installer
wine64_loader=/usr/lib/wine/wine64 wine32_loader=/usr/lib/wine/wine
# The server's identity, from the library's header.
identity() {
  sed -n "s/^inline constexpr std::string_view $1 = \"\\([^\"]*\\)\";.*/\\1/p" \
    "$source_dir/include/gpio_dll/automation.hpp"
}
clsid=$(identity kClassId) libid=$(identity kLibraryId) iid=$(identity kInterfaceId)
progid=$(identity kProgId)
[ -n "$clsid" ] && [ -n "$libid" ] && [ -n "$iid" ] && [ -n "$progid" ] ||
  { echo "installer_wine.sh: no identity in include/gpio_dll/automation.hpp" >&2; exit 2; }
dir64='C:\Program Files\gpio_dll' dir32='C:\Program Files (x86)\gpio_dll'
drive_c=$prefix/drive_c
files64=(gpio_dll_com.dll gpio_dll.dll gpio-dll.exe README.md include/gpio_dll/gpio_dll.h
  include/gpio_dll/export.hpp lib/gpio_dll.lib)
files32=(gpio_dll_com.dll gpio_dll.dll lib/gpio_dll.lib)

fail() {
  echo "installer_wine.sh: FAIL: $*" >&2
  exit 1
}
step() { echo "== $*"; }
wine64() { "$wine_run" "$prefix" "$wine64_loader" "$@"; }
server() { WINEPREFIX=$prefix /usr/lib/wine/wineserver "$@" 2>/dev/null; }
unix_path() { printf '%s/%s' "$drive_c" "$(printf '%s' "${1#C:\\}" | tr '\\' /)"; }

# The registry as wine keeps it on disk (the server stopped, so that it has written everything):
# every key with the names of its values, one line each, without the data (which wine's own
# services change from one start to the next) and without the keys of the hardware that wine
# enumerates anew at each start.
registry_names() {
  server -k
  server -w
  cat "$prefix/system.reg" "$prefix/user.reg" "$prefix/userdef.reg" | tr -d '\r' | awk '
    /^\[/ { key = tolower($0); sub(/\] [0-9]+$/, "]", key); print key; next }
    /^(@|")/ { name = $0; sub(/=.*/, "", name); print key " " tolower(name) }' |
    grep -v -E '^\[(system\\\\currentcontrolset\\\\(control\\\\(class|deviceclasses)|enum)|hardware|software\\\\microsoft\\\\windows nt\\\\currentversion\\\\networkcards)' |
    sort -u
}

# The server's entries, with their data: every key that names the class, the type library, the
# interface or the programmatic identifier, in either view.
server_entries() {
  server -k
  server -w
  tr -d '\r' <"$prefix/system.reg" | awk -v ids="$clsid|$libid|$iid|$progid" '
    BEGIN { ids = tolower(ids); gsub(/\./, "\\.", ids) }
    /^\[/ { key = tolower($0); sub(/\] [0-9]+$/, "]", key); ours = key ~ ids; if (ours) print key; next }
    ours && /^(@|")/ { print key " " $0 }' | sort
}

files() { (cd "$drive_c" && find . -path ./windows/temp -prune -o -path './users/*/Temp' -prune -o -print | sort); }

rm -rf "$prefix" "$prefix.lock"
step "a fresh 64-bit prefix"
WINEARCH=win64 wine64 cmd /c exit >/dev/null || fail "no wine prefix"
# Wine's script host registers its own type libraries when it first runs: before the baseline.
printf 'WScript.Quit 0\r\n' >"$drive_c/quit.vbs"
wine64 cscript //nologo 'C:\quit.vbs' && "$wine_run" "$prefix" "$wine32_loader" cscript //nologo 'C:\quit.vbs' ||
  fail "cscript does not run"
rm "$drive_c/quit.vbs"
registry_names >"$prefix.registry-before"
files >"$prefix.files-before"

step "silent install"
wine64 msiexec /i "Z:$(printf '%s' "$msi" | tr / '\\')" /qn || fail "msiexec /i failed"
for f in "${files64[@]}"; do [ -f "$(unix_path "$dir64")/$f" ] || fail "$dir64\\$f not installed"; done
for f in "${files32[@]}"; do [ -f "$(unix_path "$dir32")/$f" ] || fail "$dir32\\$f not installed"; done
cmp -s "$(unix_path "$dir64")/gpio_dll_com.dll" "$build_root/x86_64/ship/gpio_dll_com.dll" ||
  fail "the 64-bit server installed is not the one shipped"
cmp -s "$(unix_path "$dir32")/gpio_dll_com.dll" "$build_root/i686/ship/gpio_dll_com.dll" ||
  fail "the 32-bit server installed is not the one shipped"

step "registry entries, as 64- and 32-bit programs see them"
"$com_wine" "$wine_run" "$prefix" "$wine64_loader" registered "$dir64\\gpio_dll_com.dll" || exit 1
"$com_wine" "$wine_run" "$prefix" "$wine32_loader" registered "$dir32\\gpio_dll_com.dll" || exit 1
server_entries >"$prefix.installed-entries"

step "the clients against the installed servers (no module here)"
for loader in "$wine64_loader" "$wine32_loader"; do
  "$com_wine" "$wine_run" "$prefix" "$loader" vbscript - "$source_dir/tests/automation_server/client.vbs" \
    without-module || exit 1
done
for arch in x86_64 i686; do
  [ "$arch" = x86_64 ] && loader=$wine64_loader || loader=$wine32_loader
  GPIO_DLL_CLIENT_WITHOUT_MODULE=1 "$wine_run" "$prefix" "$loader" \
    "$build_root/$arch/bin/com_client_tests.exe" --gtest_brief=1 ||
    fail "the $arch C++ client failed against the installed server"
done

step "a program built against the installed header and import library, 64- and 32-bit"
build=$(mktemp -d /tmp/gpio-dll-developer.XXXXXX)
for arch in x86_64 i686; do
  [ "$arch" = x86_64 ] && { dir=$dir64 loader=$wine64_loader; } || { dir=$dir32 loader=$wine32_loader; }
  "$arch-w64-mingw32-gcc" -std=c99 -Wall -Wextra -Werror -I"$(unix_path "$dir64")/include" \
    "$source_dir/tests/installer/developer_program.c" -L"$(unix_path "$dir")/lib" -lgpio_dll \
    -o "$build/developer-$arch.exe" || fail "the $arch program does not build against the installed files"
  WINEPATH="$dir" "$wine_run" "$prefix" "$loader" "$build/developer-$arch.exe" ||
    fail "the $arch program does not run against the installed gpio_dll.dll"
done
rm -rf "$build"

step "silent uninstall"
wine64 msiexec /x "Z:$(printf '%s' "$msi" | tr / '\\')" /qn || fail "msiexec /x failed"
"$com_wine" "$wine_run" "$prefix" "$wine64_loader" unregistered "$dir64\\gpio_dll_com.dll" || exit 1
"$com_wine" "$wine_run" "$prefix" "$wine32_loader" unregistered "$dir32\\gpio_dll_com.dll" || exit 1
registry_names >"$prefix.registry-after"
files >"$prefix.files-after"
# Allowed to stay, empty: the Windows Installer's own containers (its cache folder, the keys of
# its product and component lists), which every Windows has.
installer_keys='^\[software\\\\(classes\\\\installer(\\\\(features|products|upgradecodes))?|microsoft\\\\windows\\\\currentversion\\\\installer(\\\\(upgradecodes|userdata(\\\\s-1-5-18(\\\\(components|products))?)?))?)\]$'
left=$(comm -13 "$prefix.registry-before" "$prefix.registry-after" | grep -v -E "$installer_keys")
gone=$(comm -23 "$prefix.registry-before" "$prefix.registry-after")
[ -z "$left" ] || fail "registry entries left after the uninstall:"$'\n'"$left"
[ -z "$gone" ] || fail "registry entries gone after the uninstall:"$'\n'"$gone"
left=$(comm -13 "$prefix.files-before" "$prefix.files-after" | grep -v -x './windows/Installer')
gone=$(comm -23 "$prefix.files-before" "$prefix.files-after")
[ -z "$left" ] || fail "files left after the uninstall:"$'\n'"$left"
[ -z "$gone" ] || fail "files gone after the uninstall:"$'\n'"$gone"

step "the same entries as DllRegisterServer writes"
mkdir -p "$(unix_path "$dir64")" "$(unix_path "$dir32")"
cp "$build_root/x86_64/ship/gpio_dll_com.dll" "$(unix_path "$dir64")/"
cp "$build_root/i686/ship/gpio_dll_com.dll" "$(unix_path "$dir32")/"
# The 64-bit server first: the version's HELPDIR, which both write, then stays the 64-bit
# folder, as the installer writes it.
wine64 regsvr32 /s "$dir64\\gpio_dll_com.dll" || fail "regsvr32 (64-bit)"
"$wine_run" "$prefix" "$wine32_loader" regsvr32 /s "$dir32\\gpio_dll_com.dll" || fail "regsvr32 (32-bit)"
server_entries >"$prefix.registered-entries"
# A folder property of an MSI ends with a backslash, the folder RegisterTypeLib writes does not.
sed -i 's/^\(.*\\\\helpdir\] @=".*\)\\\\"$/\1"/' "$prefix.installed-entries"
if ! diff "$prefix.registered-entries" "$prefix.installed-entries"; then
  fail "the installer's entries (>) differ from DllRegisterServer's (<)"
fi
server -k
rm -rf "$prefix"  # kept when the test fails, to look into
echo "installer under wine: passed"
