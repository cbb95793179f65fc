#!/usr/bin/env python3
"""Fails when the folders of src/ include each other in a circle.

Reads the `#include "folder/file.h"` lines of every source under src/, builds
the graph of which folder includes which, and prints each group of folders
that reach each other. With --map it prints the graph itself.
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/[^"]+"', re.M)


def folder_graph(src):
    graph = {}
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        own = path.relative_to(src).parts[0]
        edges = graph.setdefault(own, {})
        for target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            if target != own and (src / target).is_dir():
                edges[target] = edges.get(target, 0) + 1
    return graph


def circles(graph):
    """The strongly connected groups of more than one folder (Tarjan)."""
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in graph.get(node, {}):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                group.append(top)
                if top == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return groups


def main(argv):
    src = pathlib.Path(argv[1] if len(argv) > 1 and not argv[1].startswith("-") else
                       pathlib.Path(__file__).resolve().parent.parent / "src")
    graph = folder_graph(src)
    if "--map" in argv:
        for folder in sorted(graph):
            targets = " ".join(f"{t}({n})" for t, n in sorted(graph[folder].items()))
            print(f"{folder} -> {targets}")
    found = circles(graph)
    for group in found:
        inner = "; ".join(f"{a} -> {b}" for a in group for b in sorted(graph[a]) if b in group)
        print(f"include circle between {', '.join(group)}: {inner}", file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
