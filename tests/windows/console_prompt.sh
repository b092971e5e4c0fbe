#!/usr/bin/env bash
# The tool's question before a write, under wine: asked on a console, never when standard input
# is the NUL device, /dev/null or a pipe (those writes go through without -y). The console is
# wine's, on a pseudo-terminal that script(1) gives it; the answer is typed once the question
# shows.
#
# usage: console_prompt.sh WINE_RUN PREFIX LOADER GPIO_DLL_EXE
set -uo pipefail
[ $# -eq 4 ] || { echo "usage: $0 WINE_RUN PREFIX LOADER GPIO_DLL_EXE" >&2; exit 2; }
wine_run=$1 prefix=$2 loader=$3 tool=$(realpath "$4")
write=(--sim 2.0.19 smbus write-word 0x0b 0x01 0x1234)
fail() {
  echo "console_prompt.sh: FAIL: $*" >&2
  exit 1
}
dir=$(mktemp -d /tmp/gpio-dll-console.XXXXXX)
trap 'exec 3>&- 2>/dev/null; kill "$pty_pid" 2>/dev/null; rm -rf "$dir"' EXIT
pty_pid=

# Not a console: the write runs, and nothing is asked.
not_asked() {
  local what=$1 status=$2 output=$3
  [ "$status" -eq 0 ] || fail "standard input $what: status $status: $output"
  if grep -q 'Continue?' <<<"$output"; then fail "standard input $what: asked"; fi
  echo "standard input $what: not asked, written"
}
tool_windows="Z:$(printf '%s' "$tool" | tr / '\\')"
output=$("$wine_run" "$prefix" "$loader" cmd /c "$tool_windows" "${write[@]}" '<' NUL 2>&1)
not_asked "NUL" $? "$output"
output=$("$wine_run" "$prefix" "$loader" "$tool" "${write[@]}" 2>&1 </dev/null)
not_asked "/dev/null" $? "$output"
output=$(echo n | "$wine_run" "$prefix" "$loader" "$tool" "${write[@]}" 2>&1)
not_asked "a pipe" $? "$output"

# A console: asked, and the answer n declines the write.
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
unset DISPLAY
mkfifo "$dir/keys"
script -qfec "'$loader' '$tool' ${write[*]}; echo EXIT=\$?" /dev/null <"$dir/keys" >"$dir/terminal" 2>&1 &
pty_pid=$!
exec 3>"$dir/keys"  # the keyboard, open until the tool has ended
# What the terminal shows, without its control sequences and spaces (wine's console moves the
# cursor between words).
shown() { sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$dir/terminal" | tr -d ' \r'; }
# Limits in seconds of the clock, not in rounds: each round starts processes, slow under load.
start=$SECONDS
until shown | grep -qF 'Continue?[Y/n]'; do
  kill -0 "$pty_pid" 2>/dev/null || fail "the tool ended without asking: $(shown)"
  [ $((SECONDS - start)) -lt 60 ] || fail "no question on the console within 60 s: $(shown)"
  sleep 0.1
done
printf 'n\r' >&3
# The tool's end shows as EXIT=; script(1) itself may not end then, as wine's own processes
# (started with the wine server by the tool, when none ran) keep the terminal open.
start=$SECONDS
until shown | grep -q '^EXIT='; do
  [ $((SECONDS - start)) -lt 60 ] || fail "the tool did not end within 60 s of the answer: $(shown)"
  sleep 0.1
done
exec 3>&-
kill "$pty_pid" 2>/dev/null
shown | grep -q '^EXIT=1$' || fail "declined on the console, yet: $(shown)"
shown | grep -q 'abortingonuserrequest' || fail "no 'aborting on user request': $(shown)"
echo "a console: asked, declined"
