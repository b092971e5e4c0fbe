#!/usr/bin/env bash
# The automation server registered under wine and called by clients.
#
# usage: com_wine.sh WINE_RUN PREFIX LOADER ACTION DLL [ARG...]
#   register DLL              regsvr32, then the class, threading model, type library and interface
#                             entries
#   unregister DLL            regsvr32 /u, then no entry left
#   registered DLL            the entries of `register`, however they were written (an installer)
#   unregistered DLL          no entry left, however they were removed
#   vbscript DLL SCRIPT [ARG...]  cscript //nologo SCRIPT ARG...: passes when it prints its end
#                             marker and quits with 0 failures
#   shipped DLL               register, then unregister, for the server as it ships
# DLL is a path of the build machine, or a Windows path (C:\...) of the prefix.
set -uo pipefail
[ $# -ge 5 ] || { echo "usage: $0 WINE_RUN PREFIX LOADER ACTION DLL [ARG...]" >&2; exit 2; }
wine_run=$1 prefix=$2 loader=$3 action=$4 dll=$5
shift 5
clsid='{D596FE01-7633-4C3C-876D-E85CB6214FE6}'
libid='{316B209D-AA77-4093-B0AD-832481BEDF32}'
iid='{8C766CF6-ACED-4BB7-B945-85574CA05C0C}'
automation_marshaller='{00020424-0000-0000-C000-000000000046}'
case "$loader" in *wine64) platform=win64 ;; *) platform=win32 ;; esac

windows_path() {
  case "$1" in
    [A-Za-z]:\\*) printf '%s' "$1" ;;
    *) printf 'Z:%s' "$(realpath "$1" | tr / '\\')" ;;
  esac
}
wine() { "$wine_run" "$prefix" "$loader" "$@"; }
fail() { echo "com_wine.sh: $*" >&2; exit 1; }
# The default or named value of a key, empty when there is none.
value() {
  local key=$1 name=${2:-}
  if [ -n "$name" ]; then
    wine reg query "$key" /v "$name" 2>/dev/null | tr -d '\r' | awk -v n="$name" '$1 == n {print $3}'
  else
    wine reg query "$key" /ve 2>/dev/null | tr -d '\r' | awk '$1 == "(Default)" {$1=""; $2=""; sub(/^ +/, ""); print}'
  fi
}

register() {
  wine regsvr32 /s "$(windows_path "$dll")" || fail "regsvr32 $dll failed"
  registered
}

registered() {
  local path; path=$(windows_path "$dll")
  [ "$(value "HKCR\\CLSID\\$clsid\\InprocServer32")" = "$path" ] || fail "InprocServer32 is not $path"
  [ "$(value "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel)" = Apartment ] ||
    fail "ThreadingModel is not Apartment"
  [ "$(value "HKCR\\GPIO_DLL.cls_GPIO_DLL\\Clsid")" = "$clsid" ] || fail "no ProgID entry"
  for locale in 409 0; do
    [ "$(value "HKCR\\TypeLib\\$libid\\1.0\\$locale\\$platform")" = "$path" ] ||
      fail "type library not registered under locale $locale"
  done
  # The dual interface crosses apartments through the automation marshaller and the type library.
  [ "$(value "HKCR\\Interface\\$iid\\ProxyStubClsid32")" = "$automation_marshaller" ] ||
    fail "the interface's proxy and stub are not the automation marshaller"
  [ "$(value "HKCR\\Interface\\$iid\\TypeLib")" = "$libid" ] ||
    fail "the interface's type library is not $libid"
  echo "registered $path"
}

unregister() {
  wine regsvr32 /s /u "$(windows_path "$dll")" || fail "regsvr32 /u $dll failed"
  unregistered
}

unregistered() {
  local path; path=$(windows_path "$dll")
  wine reg query "HKCR\\CLSID\\$clsid" >/dev/null 2>&1 && fail "the class is still registered"
  wine reg query "HKCR\\GPIO_DLL.cls_GPIO_DLL" >/dev/null 2>&1 && fail "the ProgID is still registered"
  wine reg query "HKCR\\TypeLib\\$libid\\1.0\\0\\$platform" >/dev/null 2>&1 &&
    fail "the type library is still registered"
  # The type library's registration writes the interface into the 32- and the 64-bit view.
  for view in 32 64; do
    wine reg query "HKCR\\Interface\\$iid" /reg:$view >/dev/null 2>&1 &&
      fail "the interface is still registered in the $view-bit view"
  done
  echo "unregistered $path"
}

vbscript() {
  local script=$1 output status
  shift
  output=$(wine cscript //nologo "$(windows_path "$script")" "$@" 2>&1)
  status=$?
  echo "$output"
  grep -q "^END OF CLIENT" <<<"$output" || fail "$script stopped before its end marker"
  [ $status -eq 0 ] || fail "$script counted $status failures"
}

case "$action" in
  register) register ;;
  unregister) unregister ;;
  registered) registered ;;
  unregistered) unregistered ;;
  vbscript) vbscript "$@" ;;
  shipped) register && unregister ;;
  *) fail "unknown action $action" ;;
esac
