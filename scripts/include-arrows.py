#!/usr/bin/env python3
"""Lists the include arrows between the source folders and fails on one that
points up the layering below, unless it is among the known arrows that wait
to be removed.

Usage: include-arrows.py [ROOT]   (ROOT: the source tree, default: here)
Prints the folder graph (arrow counts), then every arrow that points up.
"""
import os
import re
import sys
from collections import Counter

# Folders from the bottom up: a folder includes only folders of lower rank
# (and itself). Folders of one rank do not include each other. platform/
# wraps the operating system under everything.
RANKS = {
    "platform": -1,
    "engine": 0,
    "bytecode": 1,
    "builtins": 2,
    "numerics": 3,
    "compiler": 3,
    "control": 4,
    "graphics": 4.5,
    "app": 5,
    "shell": 7,
    "tools": 7,
    "bench": 8,
    "tests": 8,
    "examples": 8,
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/([^"]+)"', re.M)


def arrows(root):
    for folder in RANKS:
        top = os.path.join(root, folder)
        for base, _, files in os.walk(top):
            for name in files:
                if not name.endswith((".cpp", ".hpp", ".def", ".h")):
                    continue
                path = os.path.join(base, name)
                rel = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for m in INCLUDE.finditer(f.read()):
                        target = m.group(1)
                        if target in RANKS and target != folder:
                            yield rel, folder, target, m.group(1) + "/" + m.group(2)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    graph = Counter()
    up = []
    for rel, source, target, header in arrows(root):
        graph[(source, target)] += 1
        if RANKS[target] >= RANKS[source]:
            up.append((rel, header))
    for (source, target), n in sorted(graph.items(), key=lambda x: (RANKS[x[0][0]], x[0])):
        mark = "" if RANKS[target] < RANKS[source] else "   <- up"
        print(f"{source:>9} -> {target:<9} {n:4}{mark}")
    new = [a for a in up if f"{a[0]} -> {a[1]}" not in KNOWN_ARROWS]
    gone = KNOWN_ARROWS - {f"{a[0]} -> {a[1]}" for a in up}
    print(f"{len(up)} arrows point up, {len(up) - len(new)} of them known")
    for rel, header in new:
        print(f"error: {rel} includes {header}, which lies above it")
    for arrow in sorted(gone):
        print(f"note: known arrow {arrow} is gone; drop it from the list")
    return 1 if new else 0


# Arrows that point up today, file by file: the engine still reaches the
# bytecode vocabulary and the builtins directly, and the vocabulary the
# builtin table and the compiler's lexer. Each one removed goes from this
# list; a new one fails the check.
KNOWN_ARROWS = {
    "bytecode/function_table.cpp -> compiler/code_pointers.hpp",
    "bytecode/function_table.cpp -> compiler/lexer_helpers.hpp",
    "bytecode/library_source.cpp -> compiler/lexer_helpers.hpp",
    "bytecode/library_source.cpp -> compiler/scan.hpp",
    "bytecode/opcodes.cpp -> builtins/builtin.hpp",
    "engine/area_growth.cpp -> bytecode/function_table.hpp",
    "engine/create.cpp -> bytecode/names.hpp",
    "engine/create.cpp -> bytecode/opcodes.hpp",
    "engine/debug_holders.cpp -> bytecode/names.hpp",
    "engine/errors/error_location.cpp -> bytecode/names.hpp",
    "engine/errors/raise_tables.cpp -> bytecode/names.hpp",
    "engine/errors/raise_text.cpp -> bytecode/names.hpp",
    "engine/files/file_control.cpp -> builtins/builtin.hpp",
    "engine/files/file_lines.cpp -> builtins/builtin.hpp",
    "engine/files/file_read.cpp -> builtins/builtin.hpp",
    "engine/files/file_redirect.cpp -> builtins/builtin.hpp",
    "engine/files/file_write.cpp -> builtins/builtin.hpp",
    "engine/frames/frame_query.cpp -> bytecode/names.hpp",
    "engine/frames/native_calls.cpp -> bytecode/opcodes.hpp",
    "engine/image/engine_image_load.cpp -> bytecode/function_table.hpp",
    "engine/image/engine_image_load.cpp -> bytecode/names.hpp",
    "engine/loop/loop.cpp -> builtins/builtin.hpp",
    "engine/loop/loop.cpp -> builtins/scalar_operators.hpp",
    "engine/loop/loop.cpp -> bytecode/function_ref.hpp",
    "engine/loop/loop.cpp -> bytecode/names.hpp",
    "engine/loop/loop.cpp -> bytecode/opcodes.hpp",
    "engine/loop/loop_calls.cpp -> builtins/builtin.hpp",
    "engine/loop/loop_calls.cpp -> bytecode/function_table.hpp",
    "engine/loop/loop_calls.cpp -> bytecode/names.hpp",
    "engine/loop/loop_calls.cpp -> bytecode/opcodes.hpp",
    "engine/loop/loop_errors.cpp -> builtins/builtin.hpp",
    "engine/loop/loop_errors.cpp -> bytecode/library_source.hpp",
    "engine/loop/loop_errors.cpp -> bytecode/opcodes.hpp",
    "engine/loop/loop_flow.cpp -> bytecode/opcodes.hpp",
    "engine/loop/loop_internal.hpp -> bytecode/opcodes.hpp",
    "engine/loop/loop_objects.cpp -> builtins/builtin.hpp",
    "engine/loop/loop_objects.cpp -> bytecode/function_table.hpp",
    "engine/loop/loop_objects.cpp -> bytecode/names.hpp",
    "engine/loop/loop_objects.cpp -> bytecode/opcodes.hpp",
    "engine/loop/scalar_chain.hpp -> builtins/scalar_operators.hpp",
    "engine/loop/scalar_chain.hpp -> bytecode/opcodes.hpp",
    "engine/registry/options.cpp -> bytecode/names.hpp",
    "engine/text/display_value.cpp -> bytecode/names.hpp",
    "engine/text/dump_numbers.cpp -> builtins/objects.hpp",
    "engine/text/dump_value.cpp -> builtins/structured.hpp",
    "engine/text/dump_variables.cpp -> builtins/builtin.hpp",
    "engine/text/dump_variables.cpp -> builtins/builtin_helpers.hpp",
    "engine/text/printf_builtins.cpp -> builtins/builtin.hpp",
    "engine/text/scanf_builtins.cpp -> builtins/builtin.hpp",
    "engine/values/args_struct.cpp -> builtins/array_builtins.hpp",
    "engine/values/args_struct.cpp -> builtins/array_support.hpp",
    "engine/values/args_struct.cpp -> bytecode/names.hpp",
    "engine/variables/variables.cpp -> builtins/builtin.hpp",
    "engine/variables/variables.cpp -> bytecode/function_table.hpp",
    "engine/variables/variables.cpp -> bytecode/names.hpp",
    "engine/variables/variables_fields.cpp -> bytecode/names.hpp",
    "engine/variables/variables_index.cpp -> builtins/builtin.hpp",
    "engine/variables/variables_subs.cpp -> builtins/builtin.hpp",
    "engine/variables/variables_subs.cpp -> bytecode/names.hpp",
    "engine/variables/variables_subs.cpp -> bytecode/opcodes.hpp",
    "platform/gui/break_key.cpp -> app/host_clock.hpp",
}

if __name__ == "__main__":
    sys.exit(main())
