#!/bin/sh
# The layer check passes on the tree as it is, and fails, naming file and line, on an include that
# goes up a layer, on a private include from the simulated module or the tool, on a project
# include from the parsers and on a system header in the tool outside its console port.
set -eu
source=$1
dir=$(mktemp -d /tmp/gpio-dll-layers.XXXXXX)
trap 'rm -rf "$dir"' EXIT
cp -r "$source/src" "$source/sim" "$source/parse" "$source/cli" "$dir/"
check="$source/scripts/check-layers"

"$check" "$dir" >/dev/null

printf '#include "interface/dispatch_table.hpp"\n' >> "$dir/src/transport/call_trace.cpp"
line=$(wc -l < "$dir/src/transport/call_trace.cpp")
if out=$("$check" "$dir"); then echo "an upward include passed"; exit 1; fi
echo "$out" | grep -q "^src/transport/call_trace.cpp:$line: transport/ includes interface/" \
  || { echo "unexpected report: $out"; exit 1; }

cp -r "$source/src/transport" "$dir/src/" # undo
printf '#include "base/module_state.hpp"\n' >> "$dir/sim/bus.cpp"
if out=$("$check" "$dir"); then echo "a private include from sim/ passed"; exit 1; fi
echo "$out" | grep -q "^sim/bus.cpp:" || { echo "unexpected report: $out"; exit 1; }
cp -r "$source/sim" "$dir/" # undo
printf '#include "gpio_dll/gpio_dll.hpp"\n' >> "$dir/parse/parse_number.cpp"
if out=$("$check" "$dir"); then echo "a project include from parse/ passed"; exit 1; fi
echo "$out" | grep -q "^parse/parse_number.cpp:" || { echo "unexpected report: $out"; exit 1; }
cp -r "$source/parse" "$dir/" # undo
printf '#include "diagnostics/form1.hpp"\n' >> "$dir/cli/main.cpp"
if out=$("$check" "$dir"); then echo "a private include from cli/ passed"; exit 1; fi
echo "$out" | grep -q "^cli/main.cpp:.*private header" || { echo "unexpected report: $out"; exit 1; }
cp -r "$source/cli" "$dir/" # undo
printf '#include <windows.h>\n' >> "$dir/cli/confirm.cpp"
if out=$("$check" "$dir"); then echo "a system header in the tool passed"; exit 1; fi
echo "$out" | grep -q "^cli/confirm.cpp:" || { echo "unexpected report: $out"; exit 1; }
echo "layer check: passes the tree, catches the five plants"
