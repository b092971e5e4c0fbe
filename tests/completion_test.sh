#!/bin/bash
# Completes command lines of the built gpio-dll and gpio-dll-sim with the completion script, as
# bash-completion runs it, and compares the offered words with the expected ones.
#
# usage: completion_test.sh GPIO_DLL GPIO_DLL_SIM COMPLETION_SCRIPT (GPIO_DLL_SIM "-": not built)
set -u
tool=$1
sim=$2
script=$3
# A build that made only some targets (the ThreadSanitizer one) has no tool to complete for.
[ -x "$tool" ] || { echo "skipped: $tool not built"; exit 77; }
[ "$sim" = "-" ] || [ -x "$sim" ] || { echo "skipped: $sim not built"; exit 77; }
bash_completion=/usr/share/bash-completion/bash_completion
[ -r "$bash_completion" ] || { echo "needs $bash_completion (package bash-completion)"; exit 1; }
# shellcheck disable=SC1090
source "$bash_completion"
# shellcheck disable=SC1090
source "$script"

dir=$(mktemp -d /tmp/gpio-dll-completion.XXXXXX)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/sub"
: >"$dir/image.bin"

failures=0
# The words offered for LINE (completing its last word), sorted, on one line.
offered() {
  local line=$1
  COMP_LINE=$line
  COMP_POINT=${#line}
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _gpio_dll_tool
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}
expect() {
  local line=$1 wanted=$2 got
  got=$(offered "$line")
  if [ "$got" != "$wanted" ]; then
    echo "FAIL: '$line' offered '$got', expected '$wanted'"
    failures=$((failures + 1))
  fi
}

# Commands, operations and options, with option values skipped over.
expect "$tool sm" "smbus"
expect "$tool smbus read-" "read-block read-byte read-word"
expect "$tool --sim 2.0.19 --json smbus w" "write-block write-byte write-word"
expect "$tool --sim=2.0.19 i2c write" "write write-read"
expect "$tool lines " "get set"
expect "$tool eeprom " "dump read write"
expect "$tool call --i" "--identify"
expect "$tool smbus read-word " ""
expect "$tool --js" "--json"
expect "$tool smbus read-word 0x0b --pe" "--pec"
# The ports after "lines get" and "lines set", the methods after "call".
expect "$tool lines get " "p0 pmbus"
expect "$tool lines set -y p" "p0 p1 pmbus"
expect "$tool lines set p1 " ""
expect "$tool call GPIO_ReadS" "GPIO_ReadSMBusBlock GPIO_ReadSMBusByte GPIO_ReadSMBusWord"
expect "$tool --sim 2.0.19 call --identify Ch" "Check_DllErrorCode"
expect "$tool call GPIO_Test " ""
methods=$(offered "$tool call ")
[ "$(wc -w <<<"$methods")" -eq 29 ] || {
  echo "FAIL: 'call' offered $(wc -w <<<"$methods") methods, not 29: $methods"
  failures=$((failures + 1))
}
for method in $methods; do
  "$tool" --sim 2.0.19 call "$method" >/dev/null 2>"$dir/call.err"
  if grep -q "no method" "$dir/call.err"; then
    echo "FAIL: offered method '$method' is not one call takes: $(cat "$dir/call.err")"
    failures=$((failures + 1))
  fi
done
# Option values: the firmware generations, files, folders.
expect "$tool --sim " "1.0.10 2.0.19"
expect "$tool --device $dir/ima" "$dir/image.bin"
expect "$tool eeprom read $dir/i" "$dir/image.bin"
expect "$tool --hidraw-dir $dir/" "$dir/sub"
if [ "$sim" != "-" ]; then
  expect "$sim " "serve"
  expect "$sim serve --fw " "1.0.10 2.0.19"
  expect "$sim serve --mount $dir/" "$dir/sub"
  expect "$sim serve --modules 2 --mo" "--modules --mount"
fi

# Every command offered is one the tool knows: its help works.
commands=$(offered "$tool ")
count=0
for command in $commands; do
  count=$((count + 1))
  if ! "$tool" "$command" --help >/dev/null 2>&1; then
    echo "FAIL: offered command '$command' is not one of gpio-dll's"
    failures=$((failures + 1))
  fi
done
for command in identify smbus i2c eeprom battery; do
  [[ " $commands " == *" $command "* ]] || {
    echo "FAIL: command $command not offered (offered: $commands)"
    failures=$((failures + 1))
  }
done

[ $failures -eq 0 ] && echo "completion: $count commands, every case as expected"
[ $failures -eq 0 ]
