#!/usr/bin/env python3
"""Applies single faults to the sources one at a time, builds, runs the suite
and reports which tests catch each fault. A development aid, run by hand (it
takes a build and a test run per fault), never by CI.

Usage: tools/fallos/fallos.py LIST [BUILD_DIR] [--only=N,M...] [--selected]

LIST holds one fault per block, blocks separated by a line "---":
    name: "W" with a wrong code of even parity
    file: line/tablaiso.cpp
    find: {"W", 215},
    replace: {"W", 125},
    tests: line_
The text after "find:" must appear exactly once in the file; lines starting
with "#" are comments. "tests:" (optional) is a ctest regular expression of
the tests likely to catch the fault, run first to save time; a fault they do
not catch is run against the whole suite before it counts as missed; the
tests that fail are run again and count only when they fail again. Only
the tests' own programs are built for the first run, the whole tree for the
second. BUILD_DIR is an existing build (ccache makes each fault's build short);
build-fallos by default. --only runs the faults of those numbers (from 1);
--selected runs the chosen tests only, never the whole suite (quicker; a
fault it reports missed may still be caught elsewhere).
"""
import os
import re
import subprocess
import sys

top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def lee_lista(ruta):
    fallos, actual = [], {}
    for linea in open(ruta, encoding="utf-8"):
        linea = linea.rstrip("\n")
        if linea.strip() == "---":
            if actual:
                fallos.append(actual)
            actual = {}
        elif ":" in linea and not linea.startswith("#"):
            clave, valor = linea.split(":", 1)
            actual[clave.strip()] = valor[1:] if valor.startswith(" ") else valor
    if actual:
        fallos.append(actual)
    return fallos


def construye(construccion, filtro):
    """Builds what the tests the filter picks run (everything when None)."""
    objetivos = []
    if filtro:
        lista = subprocess.run(["ctest", "-N", "-R", filtro], cwd=construccion,
                               capture_output=True, text=True).stdout
        todos = subprocess.run(["ninja", "-C", construccion, "-t", "targets", "all"],
                               capture_output=True, text=True).stdout
        conocidos = {l.split(":")[0] for l in todos.splitlines()}
        # Tests run by a script (the package's, the completion's) need the whole tree.
        pruebas = re.findall(r"Test +#\d+: (\S+)", lista)
        objetivos = [n for n in pruebas if n in conocidos]
        if len(objetivos) < len(pruebas):
            objetivos = []
    orden = ["cmake", "--build", construccion] + (["--target"] + objetivos if objetivos else [])
    return subprocess.run(orden, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def prueba(construccion, filtro):
    """The tests that fail, run with the ctest filter (all when None)."""
    orden = ["ctest", "-j2", "--timeout", "300"] + (["-R", filtro] if filtro else [])
    hecho = subprocess.run(orden, cwd=construccion, capture_output=True, text=True,
                           env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    resumen = hecho.stdout.partition("The following tests FAILED:")[2]
    return [l.split(" - ", 1)[1].rsplit(" (", 1)[0].strip()
            for l in resumen.splitlines() if " - " in l]


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    entera = "--selected" not in sys.argv
    solo = set()
    for a in sys.argv[1:]:
        if a.startswith("--only"):
            solo = {int(n) for n in a.partition("=")[2].split(",") if n}
    if not args:
        print(__doc__)
        return 2
    construccion = os.path.abspath(args[1] if len(args) > 1 else os.path.join(top, "build-fallos"))
    subprocess.run(["cmake", "-S", top, "-B", construccion, "-G", "Ninja"], check=True,
                   stdout=subprocess.DEVNULL)
    cazados = probados = 0
    for n, f in enumerate(lee_lista(args[0]), 1):
        if solo and n not in solo:
            continue
        nombre = f"{n}: {f['file']}: {f.get('name', f['replace'])}"
        ruta = os.path.join(top, f["file"])
        original = open(ruta, encoding="utf-8").read()
        if original.count(f["find"]) != 1:
            print(f"{nombre}: the text to change is not there exactly once", flush=True)
            continue
        try:
            open(ruta, "w", encoding="utf-8").write(original.replace(f["find"], f["replace"]))
            if not construye(construccion, f.get("tests")):
                print(f"{nombre}: does not build", flush=True)
                continue
            fallidos = prueba(construccion, f.get("tests"))
            if not fallidos and f.get("tests") and entera:
                construye(construccion, None)
                fallidos = prueba(construccion, None)
            # A test that fails once on a busy machine is no catch: it must fail again.
            if fallidos:
                fallidos = prueba(construccion, "^(" + "|".join(map(re.escape, fallidos)) + ")$")
            probados += 1
            cazados += bool(fallidos)
            print(f"{nombre}: {', '.join(fallidos) if fallidos else 'NOT CAUGHT'}", flush=True)
        finally:
            open(ruta, "w", encoding="utf-8").write(original)
    print(f"{cazados} of {probados} faults caught")
    return 0


if __name__ == "__main__":
    sys.exit(main())
