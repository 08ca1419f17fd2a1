#!/usr/bin/env python3
"""tools/check-includes on small made-up source trees."""
import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "check-includes")


class CheckIncludesTest(unittest.TestCase):
    def check(self, files):
        """Writes {path: [included names]} as a tree and runs the checker on it."""
        with tempfile.TemporaryDirectory() as src:
            for path, includes in files.items():
                os.makedirs(os.path.join(src, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(src, path), "w") as f:
                    f.write("#pragma once\n#include <vector>\n")
                    f.writelines(f'#include "{name}"\n' for name in includes)
            run = subprocess.run([sys.executable, CHECKER, "--no-known-cycles", src], capture_output=True, text=True)
        return run.returncode, run.stdout + run.stderr

    def test_downward_includes_without_cycles_pass(self):
        code, out = self.check({
            "support/uA.h": [], "support/uA.cpp": ["uA.h"],
            "engine/uB.h": ["uA.h"], "engine/uB.cpp": ["uB.h", "uC.h", "GL/gl.h"],
            "engine/uC.h": ["uA.h"], "main.cpp": ["uB.h"],
        })
        self.assertEqual(code, 0, out)
        self.assertIn("0 problems", out)

    def test_finds_cycles_between_units_and_names_their_includes(self):
        for files, cycle, includes in [
            # A header and its implementation are one unit: B.cpp -> C.h -> B.h.
            ({"engine/uB.h": [], "engine/uB.cpp": ["uB.h", "uC.h"], "engine/uC.h": ["uB.h"]},
             "engine/uB -> engine/uC -> engine/uB", ["engine/uB.cpp:4 includes uC.h", "engine/uC.h:3 includes uB.h"]),
            # Through a third unit.
            ({"support/uA.h": ["uB.h"], "support/uB.h": ["uC.h"], "support/uC.h": [], "support/uC.cpp": ["uA.h"]},
             "support/uA -> support/uB -> support/uC -> support/uA", ["support/uC.cpp:3 includes uA.h"]),
        ]:
            with self.subTest(cycle=cycle):
                code, out = self.check(files)
                self.assertEqual(code, 1, out)
                self.assertIn("include cycle: " + cycle, out)
                for include in includes:
                    self.assertIn(include, out)

    def test_finds_upward_includes_and_folders_that_are_no_layer(self):
        code, out = self.check({"support/uA.cpp": ["uB.h"], "fractal/uB.h": [], "fractal/uD.cpp": ["uE.h"],
                                "zoom/uE.h": [], "extra/uX.h": []})
        self.assertEqual(code, 1, out)
        self.assertIn("upward include: support/uA.cpp:3 includes fractal/uB.h (support may not use fractal)", out)
        self.assertIn("upward include: fractal/uD.cpp:3 includes zoom/uE.h (fractal may not use zoom)", out)
        self.assertIn("extra/uX.h: folder extra/ is no layer", out)
        self.assertIn("3 problems", out)


if __name__ == "__main__":
    unittest.main()
