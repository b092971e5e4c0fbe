#!/bin/sh
# The binaries the Windows build ships (ship/ of the build folder): the automation server exports
# its four entry points and nothing else, the library exactly the functions and classes its
# public headers mark GPIO_DLL_API, the tool nothing; each is stripped and small, with its debug
# information beside it under the name its debug link gives.
#
# usage: shipped_binaries.sh OBJDUMP OBJCOPY SHIP_DIR PUBLIC_HEADER_DIR
set -eu
objdump=$1 objcopy=$2 ship=$3 headers=$4
# Far above a stripped DLL (about 0.5 MB) or tool (2 MB), far below one with debug information
# (12 MB, 45 MB).
max_dll_bytes=$((2 * 1024 * 1024)) max_exe_bytes=$((8 * 1024 * 1024))
status=0
fail() {
  echo "FAIL: $*"
  status=1
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The names of a binary's export table, one a line.
exports() {
  "$objdump" -p "$1" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p'
}

# The names the public headers export: NAME of `class GPIO_DLL_API NAME`, and the function name
# of every other declaration marked GPIO_DLL_API.
grep -h 'GPIO_DLL_API' "$headers"/*.h "$headers"/*.hpp | grep -v '#define' |
  sed -n -e 's/.*\(class\|struct\) GPIO_DLL_API \([A-Za-z_0-9]*\).*/\2/p' \
    -e '/\(class\|struct\) GPIO_DLL_API/!s/^\([^(]*[^A-Za-z_0-9(]\)\{0,1\}\([A-Za-z_][A-Za-z_0-9]*\)(.*/\2/p' |
  sort -u >"$tmp/api"
[ "$(wc -l <"$tmp/api")" -gt 40 ] || fail "too few names found in $headers: $(tr '\n' ' ' <"$tmp/api")"

# gpio_dll_com.dll: the four entry points of an in-process server.
printf '%s\n' DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer >"$tmp/com"
exports "$ship/gpio_dll_com.dll" | sort >"$tmp/com-exports"
if ! cmp -s "$tmp/com" "$tmp/com-exports"; then
  fail "gpio_dll_com.dll exports $(wc -l <"$tmp/com-exports") names, not the four entry points:"
  diff "$tmp/com" "$tmp/com-exports" | head -n 20
fi

# gpio_dll.dll: a C function by its name, a C++ symbol by the first name after the namespaces of
# the public headers (gpio_dll::platform::use_system, gpio_dll::Variant::to_int16, vtable for
# gpio_dll::Variant).
grep -ho 'namespace [a-z_:]*' "$headers"/*.h "$headers"/*.hpp | sed 's/.*[ :]//' |
  sort -u >"$tmp/namespaces"
exports "$ship/gpio_dll.dll" >"$tmp/dll-exports"
[ -s "$tmp/dll-exports" ] || fail "gpio_dll.dll exports nothing"
c++filt <"$tmp/dll-exports" | sed -e 's/^\(typeinfo\|vtable\|typeinfo name\) for //' \
  -e 's/(.*//' -e 's/\[abi:[a-z0-9]*\]//g' >"$tmp/dll-names"
: >"$tmp/dll-found"
while read -r name; do
  case $name in
    gpio_dll_*) first=$name ;;
    gpio_dll::*)
      rest=${name#gpio_dll::}
      first=${rest%%::*}
      if [ "$rest" != "$first" ] && grep -qx "$first" "$tmp/namespaces"; then
        rest=${rest#*::}
        first=${rest%%::*}
      fi
      ;;
    *) fail "gpio_dll.dll exports $name, which is not the library's" && continue ;;
  esac
  if grep -qx "$first" "$tmp/api"; then
    echo "$first" >>"$tmp/dll-found"
  else
    fail "gpio_dll.dll exports $name, which no public header marks GPIO_DLL_API"
  fi
done <"$tmp/dll-names"
for missing in $(sort -u "$tmp/dll-found" | comm -23 "$tmp/api" -); do
  fail "gpio_dll.dll does not export $missing"
done

# gpio-dll.exe: a program exports nothing.
exports "$ship/gpio-dll.exe" >"$tmp/exe-exports"
[ ! -s "$tmp/exe-exports" ] || fail "gpio-dll.exe exports $(wc -l <"$tmp/exe-exports") names"

for file in gpio_dll.dll gpio_dll_com.dll gpio-dll.exe; do
  shipped=$ship/$file
  size=$(wc -c <"$shipped")
  case $file in *.dll) max=$max_dll_bytes ;; *) max=$max_exe_bytes ;; esac
  [ "$size" -le "$max" ] || fail "$file is $size bytes, more than $max"
  "$objdump" -h "$shipped" | grep -q ' \.debug_' && fail "$file carries debug information"
  "$objdump" -t "$shipped" | grep -q '^\[ *[0-9]*\]' && fail "$file carries a symbol table"
  "$objcopy" --dump-section .gnu_debuglink="$tmp/link" "$shipped" "$tmp/copy" 2>/dev/null ||
    fail "$file has no debug link"
  link=$(cat "$tmp/link" 2>/dev/null | tr '\0' '\n' | head -n 1)
  [ "$link" = "$file.debug" ] || fail "$file links to '$link', not $file.debug"
  "$objdump" -h "$ship/$file.debug" 2>/dev/null | grep -q ' \.debug_info ' ||
    fail "$file.debug holds no debug information"
  rm -f "$tmp/link"
  echo "$file: $size bytes"
done

[ $status -eq 0 ] && echo "shipped binaries: passed"
exit $status
