"""Tests of the service generator: the committed tree is up to date, --check catches drift, a
regeneration touches only what changed, schema mistakes are reported clearly, lists are wrapped."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "codegen"))
sys.dont_write_bytecode = True

import emit  # noqa: E402

HERE = Path(__file__).resolve().parent
# A small valid schema that schema_errors.txt spoils one way each.
BASE = (HERE / "gadget.toml").read_text()


def make_tree(root, schemas=None):
    """A tree with the generator and the schemas {path under schema/: text}, by default a copy of
    the repository's schemas and vm/."""
    shutil.copytree(ROOT / "codegen", root / "codegen", ignore=shutil.ignore_patterns("__pyc*"))
    if schemas is None:
        shutil.copytree(ROOT / "schema", root / "schema")
        shutil.copytree(ROOT / "vm", root / "vm")
        return
    (root / "vm").mkdir()
    for rel, text in schemas.items():
        (root / "schema" / rel).parent.mkdir(parents=True, exist_ok=True)
        (root / "schema" / rel).write_text(text)


def run(root, *args):
    return subprocess.run([sys.executable, str(root / "codegen" / "generate.py"), *args],
                          capture_output=True, text=True)


def tree_state(root):  # {path: (content, mtime)} of every file under root/vm
    return {p.relative_to(root).as_posix(): (p.read_bytes(), p.stat().st_mtime_ns)
            for p in sorted((root / "vm").rglob("*")) if p.is_file()}


class Check(unittest.TestCase):
    """On a copy of the repository plus one more service, so that every case has a service
    to spoil and another to leave alone."""

    def setUp(self):
        directory = tempfile.TemporaryDirectory()
        self.addCleanup(directory.cleanup)
        self.root = Path(directory.name)
        make_tree(self.root)
        (self.root / "schema" / "gadget.toml").write_text(BASE)
        result = run(self.root, "schema/gadget.toml")
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_committed_tree_is_up_to_date(self):
        result = run(ROOT, "--check")
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_drift_is_reported_unchanged_and_regeneration_repairs_it(self):
        cpus_h = self.root / "vm" / "compute" / "cpus.h"
        gadget = self.root / "schema" / "gadget.toml"
        own = self.root / "vm" / "helper.h"  # hand-written, without the marker: left alone
        own.write_text("// Hand-written.\n#pragma once\n")
        cases = [  # (how the tree drifts, the file --check must name, and why)
            (lambda: cpus_h.write_text(cpus_h.read_text() + "// edited\n"), "vm/compute/cpus.h",
             "edited by hand"),
            ((self.root / "vm" / "compute" / "cpus.cc").unlink, "vm/compute/cpus.cc", "missing"),
            (lambda: gadget.write_text(gadget.read_text().replace('"Unauthenticated"', '"Error"')),
             "vm/gadget.h", "out of date"),
            (gadget.unlink, "vm/gadget.h", "no schema"),
        ]
        for drift, rel, words in cases:
            with self.subTest(words=words):
                drift()
                before = tree_state(self.root)
                result = run(self.root, "--check")
                self.assertEqual(result.returncode, 1)
                self.assertTrue(rel in result.stderr and words in result.stderr, result.stderr)
                self.assertEqual(tree_state(self.root), before)
                self.assertEqual([run(self.root).returncode, run(self.root, "--check").returncode],
                                 [0, 0])
        # The orphan went with its schema; the other services and the own file stayed.
        self.assertFalse((self.root / "vm" / "gadget.cc").exists())
        self.assertTrue(cpus_h.exists() and own.exists())

    def test_regeneration_rewrites_only_the_changed_service(self):
        old = 1_000_000_000
        for path in (self.root / "vm").rglob("*"):
            os.utime(path, ns=(old, old))
        before = tree_state(self.root)
        result = run(self.root)
        self.assertIn(" 0 of ", result.stdout)
        self.assertEqual(tree_state(self.root), before)
        path = self.root / "schema" / "gadget.toml"
        path.write_text(path.read_text().replace('wire = "list"', 'wire = "list_all"'))
        self.assertEqual(run(self.root).returncode, 0)
        changed = [rel for rel, (_, mtime) in tree_state(self.root).items() if mtime != old]
        self.assertEqual(changed, ["vm/gadget.h"])

    def test_named_schemas_limit_the_run(self):
        cpus_h, gadget_h = self.root / "vm" / "compute" / "cpus.h", self.root / "vm" / "gadget.h"
        cpus_h.unlink()
        gadget_h.unlink()
        result = run(self.root, "--check", "schema/gadget.toml")
        self.assertEqual((result.returncode, "vm/compute/cpus.h" in result.stderr), (1, False))
        self.assertIn("vm/gadget.h", result.stderr)
        self.assertEqual(run(self.root, "schema/gadget.toml").returncode, 0)
        self.assertEqual((gadget_h.exists(), cpus_h.exists()), (True, False))
        result = run(self.root, "schema/nothing.toml")
        self.assertEqual(result.returncode, 2)
        self.assertIn("schema/nothing.toml: no such schema", result.stderr)


class SchemaErrors(unittest.TestCase):
    def generate(self, schemas):  # in a fresh tree: the result and what vm/ then holds
        with tempfile.TemporaryDirectory() as d:
            make_tree(Path(d), schemas)
            result = run(Path(d))
            return result, list((Path(d) / "vm").iterdir())

    def test_each_mistake_is_reported_with_file_and_place_and_nothing_written(self):
        rows = [r for r in (HERE / "schema_errors.txt").read_text().splitlines() if r[:1] != "#"]
        self.assertGreater(len(rows), 30)
        for row in rows:
            old, new, words = (cell.replace("\\n", "\n") for cell in row.split(" | "))
            with self.subTest(words=words):
                self.assertIn(old, BASE)
                result, written = self.generate({"gadget.toml": BASE.replace(old, new, 1)})
                self.assertEqual(result.returncode, 2, result.stdout)
                self.assertIn("schema/gadget.toml: ", result.stderr)
                self.assertIn(words, result.stderr)
                self.assertEqual(written, [])

    def test_a_broken_or_clashing_schema_stops_every_service(self):
        broken = BASE.replace("Gadget", "Broken").replace("gadget", "broken")
        for other, words in [
                (broken.replace('"Error", ', '"Oops", '), "other.toml: operation Get: unknown"),
                (BASE.replace("GadgetSvc", "WidgetSvc"), "gadget' is also generated by")]:
            result, written = self.generate({"gadget.toml": BASE, "other.toml": other})
            self.assertEqual(result.returncode, 2)
            self.assertIn(words, result.stderr)
            self.assertEqual(written, [])


class Layout(unittest.TestCase):
    def test_long_lists_fill_lines_within_the_limit(self):
        items = [f"::Tarn::Item{n}" for n in range(40)]
        lines = emit.wrap("    ", "using List = ::Tarn::List<", items, ">;")
        self.assertTrue(len(lines) > 2 and all(len(line) <= emit.LIMIT for line in lines))
        self.assertEqual(" ".join(line.strip() for line in lines),
                         "using List = ::Tarn::List< " + ", ".join(items) + ">;")
        self.assertEqual(emit.wrap("", "f(", ["a", "b"], ");"), ["f(a, b);"])


if __name__ == "__main__":
    unittest.main()
