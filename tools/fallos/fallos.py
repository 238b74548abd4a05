#!/usr/bin/env python3
"""Applies single faults to the sources one at a time, builds, runs the whole
suite and reports which tests catch each fault. A development aid, run by
hand (it takes a build and a test run per fault), never by CI.

Usage: tools/fallos/fallos.py LIST [BUILD_DIR]

LIST holds one fault per block, blocks separated by a line "---":
    file: line/tablaiso.cpp
    find: {0xD7, "W"}
    replace: {0x7D, "W"}
The text after "find:" must appear exactly once in the file.
"""
import os
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


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    construccion = sys.argv[2] if len(sys.argv) > 2 else os.path.join(top, "build-fallos")
    subprocess.run(["cmake", "-S", top, "-B", construccion, "-G", "Ninja"], check=True,
                   stdout=subprocess.DEVNULL)
    entorno = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    cazados = 0
    fallos = lee_lista(sys.argv[1])
    for n, f in enumerate(fallos, 1):
        ruta = os.path.join(top, f["file"])
        original = open(ruta, encoding="utf-8").read()
        if original.count(f["find"]) != 1:
            print(f"{n}: {f['file']}: the text to change is not there exactly once")
            continue
        try:
            open(ruta, "w", encoding="utf-8").write(original.replace(f["find"], f["replace"]))
            hecho = subprocess.run(["cmake", "--build", construccion, "-j2"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if hecho.returncode != 0:
                print(f"{n}: {f['file']}: does not build")
                continue
            prueba = subprocess.run(["ctest", "-j2", "--timeout", "180"], cwd=construccion,
                                    env=entorno, capture_output=True, text=True)
            resumen = prueba.stdout.partition("The following tests FAILED:")[2]
            fallidos = [l.split(" - ", 1)[1].rsplit(" (", 1)[0].strip()
                        for l in resumen.splitlines() if " - " in l]
            cazados += bool(fallidos)
            print(f"{n}: {f['file']}: {', '.join(fallidos) if fallidos else 'NOT CAUGHT'}")
        finally:
            open(ruta, "w", encoding="utf-8").write(original)
    print(f"{cazados} of {len(fallos)} faults caught")
    return 0


if __name__ == "__main__":
    sys.exit(main())
