#!/usr/bin/env python3
"""Checks the product's #include "..." lines against its layers.

A file may include files of its own folder and of lower layers only; folders
of one layer do not include each other. No include cycle between files, where
a header and its source count as one file (config/ini.h and config/ini.cpp are
config/ini): a cycle through sources is as real as one through headers.
Prints every offending edge and exits 1; prints a one-line summary and exits 0
otherwise. The host simulation (platform/host/) and the tests are not product.

usage: check_layers.py [source root]
"""

import re
import sys
from pathlib import Path

# Lowest first. Folders on one line share a layer and stay apart.
# platform/windows is the exe's side of the seam, the UTF-16 edge and the
# calls loaded at run time: it may use base, and no folder above base.
LAYERS = [
    ["platform"],
    ["base"],
    ["platform/windows"],
    ["config"],
    ["checks", "components", "splash"],
    ["launch"],
    ["check"],
    ["launcher"],
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
LEFT_OUT = ["platform/host"]
SUFFIXES = {".h", ".cpp", ".c"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def product_files(root):
    seen = set()
    for folder in RANK:
        for path in sorted((root / folder).rglob("*")):
            relative = path.relative_to(root).as_posix()
            if path.suffix in SUFFIXES and not any(relative.startswith(o + "/") for o in LEFT_OUT):
                seen.add(relative)
    return sorted(seen)


def includes(root, relative):
    """The files relative includes, as paths from the root (or as written when not found)."""
    found = []
    for line in (root / relative).read_text(encoding="utf-8", errors="replace").splitlines():
        match = INCLUDE.match(line)
        if not match:
            continue
        name = match.group(1)
        beside = (Path(relative).parent / name).as_posix()
        found.append(beside if (root / beside).is_file() else name)
    return found


def folder_of(relative):
    """The most specific folder of LAYERS or LEFT_OUT holding the file, or None."""
    holders = [f for f in list(RANK) + LEFT_OUT if relative.startswith(f + "/")]
    return max(holders, key=len) if holders else None


def module_of(relative):
    return relative.rsplit(".", 1)[0]


def cycles(graph):
    """Each strongly connected group of more than one file (or a file including itself)."""
    index, low, on_stack, stack, groups = {}, {}, set(), [], []
    counter = [0]

    def visit(node):
        # Iterative Tarjan: (node, iterator over its successors).
        work = [(node, iter(graph.get(node, ())))]
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        while work:
            current, successors = work[-1]
            advanced = False
            for successor in successors:
                if successor not in graph:
                    continue
                if successor not in index:
                    index[successor] = low[successor] = counter[0]
                    counter[0] += 1
                    stack.append(successor)
                    on_stack.add(successor)
                    work.append((successor, iter(graph[successor])))
                    advanced = True
                    break
                if successor in on_stack:
                    low[current] = min(low[current], index[successor])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[current])
            if low[current] == index[current]:
                group = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.append(member)
                    if member == current:
                        break
                if len(group) > 1 or current in graph.get(current, ()):
                    groups.append(sorted(group))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return groups


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)
    graph = {relative: includes(root, relative) for relative in product_files(root)}
    problems = []
    for source, targets in sorted(graph.items()):
        for target in targets:
            upper, lower = folder_of(source), folder_of(target)
            if lower in LEFT_OUT and RANK.get(lower.split("/")[0]) == RANK[upper]:
                # platform/win32.h hands the host build over to the simulation.
                continue
            if target not in graph:
                problems.append(f"{source} -> {target}: not a file of the layers")
                continue
            if upper == lower:
                continue
            if lower == "platform/windows":
                problems.append(f"{source} -> {target}: the Windows side is linked, never included")
                continue
            if RANK[lower] > RANK[upper]:
                problems.append(f"{source} -> {target}: upward, {upper} is below {lower}")
            elif RANK[lower] == RANK[upper]:
                problems.append(f"{source} -> {target}: {upper} and {lower} share a layer")
    modules = {}
    for source, targets in graph.items():
        edges = modules.setdefault(module_of(source), set())
        edges.update(module_of(t) for t in targets if t in graph and module_of(t) != module_of(source))
    for group in cycles(modules):
        edges = [f"{a} -> {b}" for a in group for b in sorted(modules[a]) if b in group]
        problems.append("include cycle: " + "; ".join(edges))
    for problem in problems:
        print(f"check_layers: {problem}")
    if problems:
        return 1
    edges = sum(len(targets) for targets in graph.values())
    order = " -> ".join("(" + ", ".join(f) + ")" if len(f) > 1 else f[0] for f in LAYERS)
    print(f"check_layers: {len(graph)} files, {edges} includes, no cycle, layers {order}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
