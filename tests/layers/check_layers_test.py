#!/usr/bin/env python3
"""The layer check on small trees of its own: what it must refuse and what
it must let pass."""
import os
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_layers.py")


def run(files):
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        done = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
        return done.returncode, done.stdout


class CheckLayersTest(unittest.TestCase):
    def test_includes_that_point_down_pass(self):
        status, out = run({
            "settings/IniFile.h": "#include <string>\n",
            "link/Engine.cpp": '#include "settings/IniFile.h"\n#include "link/Engine.h"\n',
            "link/Engine.h": "",
            "eqwindow/Window.cpp": '#include <QWidget>\n#include "controls/Slider.h"\n',
            "controls/Slider.h": "#include <QWidget>\n",
            "app/main.cpp": '#include "eqwindow/Window.h"\n',
            "eqwindow/Window.h": "",
        })
        self.assertEqual(status, 0, out)

    def test_an_include_of_a_higher_or_equal_layer_fails(self):
        status, out = run({
            "app/Frame.h": "",
            "link/Engine.cpp": '#include "app/Frame.h"\n',
            "sim/Bus.h": "",
            "cli/Tool.cpp": '#include "sim/Bus.h"\n',
        })
        self.assertEqual(status, 1)
        self.assertIn('link/Engine.cpp: "app/Frame.h": app/ is not below link/', out)
        self.assertIn('cli/Tool.cpp: "sim/Bus.h": sim/ is not below cli/', out)

    def test_qt_in_a_plain_library_fails_directly_or_through_a_folder(self):
        status, out = run({
            "eq/Document.cpp": "#include <QString>\n",
            "controls/Slider.h": "",
            "link/Engine.cpp": '#include "controls/Slider.h"\n',
        })
        self.assertEqual(status, 1)
        self.assertIn("eq/Document.cpp: <QString>: a Qt header in a library without Qt", out)
        self.assertIn('link/Engine.cpp: "controls/Slider.h": controls/ has Qt, link/ has none', out)

    def test_a_test_includes_its_layer_the_layers_below_and_the_shared_helpers(self):
        status, out = run({
            "serial/Port.h": "",
            "link/Engine.h": "",
            "eqwindow/Window.h": "",
            "app/Frame.h": "",
            "testsupport/Hex.h": '#include "serial/Port.h"\n',
            "tests/link/LinkFixture.h": '#include "testsupport/Hex.h"\n',
            "tests/link/engine_test.cpp":
                '#include "link/Engine.h"\n#include "serial/Port.h"\n'
                '#include "tests/link/LinkFixture.h"\n',
            "tests/eqwindow/WindowFixture.h": '#include "app/Frame.h"\n',
            "tests/app/frame_test.cpp":
                '#include "tests/eqwindow/WindowFixture.h"\n#include "tests/link/LinkFixture.h"\n',
            "tests/fuzz/fuzz.cpp": '#include "app/Frame.h"\n#include "link/Engine.h"\n',
            "bench/link_bench.cpp": '#include "testsupport/Hex.h"\n#include "link/Engine.h"\n',
        })
        self.assertEqual(status, 0, out)

    def test_a_test_reaching_up_or_across_and_code_reaching_into_tests_fail(self):
        status, out = run({
            "link/Engine.h": "",
            "cli/Tool.h": "",
            "testsupport/Hex.h": "",
            "tests/eq/EqFixture.h": "",
            "tests/sim/Client.h": "",
            "tests/serial/port_test.cpp": '#include "link/Engine.h"\n',
            "tests/sim/bus_test.cpp": '#include "cli/Tool.h"\n',
            "tests/link/engine_test.cpp": '#include "tests/eq/EqFixture.h"\n',
            "sim/Bus.cpp": '#include "testsupport/Hex.h"\n',
            "bench/soak_bench.cpp": '#include "tests/sim/Client.h"\n',
        })
        self.assertEqual(status, 1)
        self.assertIn('tests/serial/port_test.cpp: "link/Engine.h": link/ is not below tests/serial/', out)
        self.assertIn('tests/sim/bus_test.cpp: "cli/Tool.h": cli/ is not below tests/sim/', out)
        self.assertIn('tests/link/engine_test.cpp: "tests/eq/EqFixture.h": tests/eq/ is not below tests/link/', out)
        self.assertIn('sim/Bus.cpp: "testsupport/Hex.h": testsupport/ is for the tests and the benchmarks only', out)
        self.assertIn('bench/soak_bench.cpp: "tests/sim/Client.h": tests/sim/ is for the tests only', out)

    def test_bare_names_of_an_older_tree_are_found(self):
        status, out = run({"app/IniFile.h": "", "link/Engine.cpp": '#include "IniFile.h"\n'})
        self.assertEqual(status, 1)
        self.assertIn('link/Engine.cpp: "IniFile.h": app/ is not below link/', out)


if __name__ == "__main__":
    unittest.main()
