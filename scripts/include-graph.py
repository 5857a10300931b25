#!/usr/bin/env python3
"""Prints the include graph's faults between the project's folders, as the compiler sees it.

Every translation unit of compile_commands.json is preprocessed with -H, which lists each header
opened with its nesting depth; a header at depth d+1 right after one at depth d is a direct include
of it. From those edges it reports:
  - includes that point upward or sideways against the layer order below;
  - cycles that span more than one folder, between units (a header and its source are one unit:
    a source that includes a header whose unit includes the source's own header closes a cycle).
With --check it exits 1 when it found either (the test suite runs it this way).

Usage: include-graph.py [--check] <build-folder>
"""
import concurrent.futures
import json
import os
import shlex
import subprocess
import sys

# Lowest first: a folder may include only folders before it, and itself.
LAYERS = ["transport", "lib/core", "lib/content", "lib/session", "lib/render", "lib/controls",
          "lib/forms", "lib/server", "host", "app"]
ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), ".."))


def folder_of(path):
    rel = os.path.relpath(path, ROOT)
    for layer in sorted(LAYERS, key=len, reverse=True):
        if rel == layer or rel.startswith(layer + "/"):
            return layer
    return None


def direct_includes(entry):
    """(includer, included) pairs of one translation unit, both absolute paths."""
    args = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    cleaned, skip = [], False
    for arg in args:
        if skip:
            skip = False
            continue
        if arg in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
            continue
        if arg in ("-c", "-MD", "-MMD") or arg.startswith("-fsanitize"):
            continue
        cleaned.append(arg)
    run = subprocess.run(cleaned + ["-E", "-H", "-o", os.devnull], cwd=entry["directory"],
                         capture_output=True, text=True)
    source = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
    stack, edges = [source], set()
    for line in run.stderr.splitlines():
        dots = len(line) - len(line.lstrip("."))
        if dots == 0 or not line[dots:].startswith(" "):
            continue
        header = os.path.realpath(os.path.join(entry["directory"], line[dots + 1:].strip()))
        del stack[dots:]
        edges.add((stack[-1], header))
        stack.append(header)
    return edges


def cross_folder_cycles(edges):
    """Strongly connected components (Tarjan, iterative) that hold files of several folders."""
    graph = {}
    for a, b in edges:
        graph.setdefault(a, set()).add(b)
        graph.setdefault(b, set())
    index, low, on_stack, stack, found, counter = {}, {}, set(), [], [], [0]
    for start in graph:
        if start in index:
            continue
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = counter[0]; counter[0] += 1
        stack.append(start); on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter[0]; counter[0] += 1
                    stack.append(child); on_stack.add(child)
                    work.append((child, iter(sorted(graph[child]))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop(); on_stack.discard(member); component.append(member)
                    if member == node:
                        break
                if len({folder_of(m) for m in component}) > 1:
                    found.append(sorted(component))
    return found


def main():
    args = [a for a in sys.argv[1:] if a != "--check"]
    check = "--check" in sys.argv[1:]
    if len(args) != 1:
        sys.exit(__doc__)
    with open(os.path.join(args[0], "compile_commands.json")) as f:
        entries = [e for e in json.load(f) if folder_of(os.path.realpath(os.path.join(e["directory"], e["file"])))]
    edges = set()
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for unit_edges in pool.map(direct_includes, entries):
            edges |= {(a, b) for a, b in unit_edges if folder_of(a) and folder_of(b)}

    rel = lambda p: os.path.relpath(p, ROOT)
    upward = sorted((rel(a), rel(b)) for a, b in edges
                    if LAYERS.index(folder_of(b)) > LAYERS.index(folder_of(a)))
    unit = lambda p: os.path.splitext(p)[0]
    cycles = cross_folder_cycles({(unit(a), unit(b)) for a, b in edges if unit(a) != unit(b)})
    print(f"{len(entries)} translation units, {len(edges)} include edges between project files")
    print(f"upward or sideways includes: {len(upward)}")
    for a, b in upward:
        print(f"  {a} -> {b}")
    print(f"cycles across folders: {len(cycles)}")
    for cycle in cycles:
        folders = sorted({folder_of(m) for m in cycle})
        print(f"  {len(cycle)} units in {', '.join(folders)}: {' '.join(rel(m) for m in cycle)}")
    if check and (upward or cycles):
        sys.exit(1)


if __name__ == "__main__":
    main()
