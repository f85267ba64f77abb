#!/usr/bin/env python3
"""The areas under src/ form a ladder: an area includes only itself and the areas CMakeLists.txt
lets it link (TW_DEPS_<area>), and those links have no cycle. Prints each breach; exits 1 on any."""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent


def declared_links():
    text = (root / "CMakeLists.txt").read_text()
    return {m.group(1): set(m.group(2).replace('"', "").split())
            for m in re.finditer(r"^set\(TW_DEPS_(\w+)\s*([^)]*)\)", text, re.M)}


def cycles(links):
    state, found = {}, []

    def visit(area, path):
        if state.get(area) == "open":
            found.append(" -> ".join(path[path.index(area):] + [area]))
            return
        if state.get(area) == "done":
            return
        state[area] = "open"
        for dep in sorted(links.get(area, ())):
            visit(dep, path + [area])
        state[area] = "done"

    for area in sorted(links):
        visit(area, [])
    return found


def breaches(links):
    include = re.compile(r'^\s*#\s*include\s+"(\w+)/', re.M)
    for path in sorted((root / "src").glob("*/*")):
        area = path.parent.name
        if area not in links:
            yield f"{path.relative_to(root)}: area '{area}' has no TW_DEPS_{area} in CMakeLists.txt"
            continue
        for target in include.findall(path.read_text(errors="replace")):
            if target != area and target not in links[area]:
                yield f"{path.relative_to(root)}: includes {target}/, which {area} may not reach"


def main():
    links = declared_links()
    problems = [f"link cycle: {c}" for c in cycles(links)] + list(breaches(links))
    for p in problems:
        print(p)
    print("ladder: " + ("broken" if problems else f"{len(links)} areas, no arrow upwards"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
