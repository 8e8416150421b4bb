"""Tests of the service generator (codegen/generate.py): the committed tree is up to date, --check
catches stale, edited, missing and orphaned files, a regeneration touches only what changed,
schema mistakes are reported clearly, and long lists are laid out within 100 columns."""

import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "codegen"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.dont_write_bytecode = True

import emit  # noqa: E402

# A small valid schema that the error cases below spoil one way each.
BASE = textwrap.dedent(
    """\
    namespace = "Compute"
    service = "GadgetSvc"
    id = "com.brantel.kov.vm.compute.gadget"

    [[enums]]
    name = "Mode"
    wire = "mode"
    values = ["FAST", "SLOW"]

    [[structs]]
    name = "Info"
    wire = "info"
    fields = [
      { wire = "mode", type = "enum:Mode" },
      { wire = "speed", type = "int64", optional = true, union_cases = ["FAST"], union_predicate = "required" },
      { wire = "vm", type = "string" },
    ]
    union = { tag = "mode", checks = ["missing_tag", "case:speed"] }
    metadata = { name = "com.brantel.kov.vm.compute.Gadget.Info", fields = [["vm", "com.brantel.kov.vm.VirtualMachine"]] }

    [[structs]]
    name = "Holder"
    wire = "holder"
    fields = [{ wire = "info", type = "struct:Info" }]

    [[operations]]
    name = "Get"
    wire = "get"
    input = [{ wire = "vm", type = "string" }]
    output = "struct:Info"
    errors = ["Error", "NotFound"]
    resource = "vm"

    [[operations]]
    name = "List"
    wire = "list"
    input = "operation_input"
    output = "list:struct:Info"
    errors = ["Unauthenticated"]
    """
)


def make_tree(root, schemas=None):
    """A repository-like tree under `root` with the generator and the given schemas
    ({path under schema/: text}); by default, a copy of the repository's schemas and vm/."""
    shutil.copytree(ROOT / "codegen", root / "codegen",
                    ignore=shutil.ignore_patterns("__pycache__"))
    if schemas is None:
        shutil.copytree(ROOT / "schema", root / "schema")
        shutil.copytree(ROOT / "vm", root / "vm")
    else:
        (root / "vm").mkdir()
        for rel, text in schemas.items():
            path = root / "schema" / rel
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)


def run(root, *args):
    return subprocess.run([sys.executable, str(root / "codegen" / "generate.py"), *args],
                          capture_output=True, text=True)


def tree_state(root):
    """{path: (content, mtime)} of every file under root/vm."""
    state = {}
    for path in sorted((root / "vm").rglob("*")):
        if path.is_file():
            state[path.relative_to(root).as_posix()] = (path.read_bytes(), path.stat().st_mtime_ns)
    return state


class TempTree(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.root = Path(self._dir.name)

    def tearDown(self):
        self._dir.cleanup()


class CommittedTree(unittest.TestCase):
    def test_generated_files_are_up_to_date(self):
        result = subprocess.run([sys.executable, str(ROOT / "codegen" / "generate.py"), "--check"],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)

class Check(TempTree):
    """On a copy of the repository plus one more service, so that every case has a service
    to spoil and another to leave alone."""

    def setUp(self):
        super().setUp()
        make_tree(self.root)
        (self.root / "schema" / "gadget.toml").write_text(BASE)
        result = run(self.root, "schema/gadget.toml")
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_drift_is_reported_unchanged_and_regeneration_repairs_it(self):
        cpus_h = self.root / "vm" / "compute" / "cpus.h"
        gadget = self.root / "schema" / "gadget.toml"
        cases = [  # (how the tree drifts, the file --check must name, and why)
            (lambda: cpus_h.write_text(cpus_h.read_text().replace(
                "std::string vm;", "std::string vm;  // edited", 1)), "vm/compute/cpus.h",
             "edited by hand"),
            (lambda: (self.root / "vm" / "compute" / "cpus.cc").unlink(), "vm/compute/cpus.cc",
             "missing"),
            (lambda: gadget.write_text(gadget.read_text().replace(
                'errors = ["Unauthenticated"]', 'errors = ["Unauthenticated", "Error"]')),
             "vm/gadget.h", "out of date"),
            (gadget.unlink, "vm/gadget.h", "no schema"),
        ]
        for drift, rel, words in cases:
            with self.subTest(words=words):
                drift()
                before = tree_state(self.root)
                result = run(self.root, "--check")
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"{rel}", result.stderr)
                self.assertIn(words, result.stderr)
                self.assertEqual(tree_state(self.root), before)
                self.assertEqual(run(self.root).returncode, 0)
                self.assertEqual(run(self.root, "--check").returncode, 0)
        # The orphan went with its schema; the other services stayed.
        self.assertFalse((self.root / "vm" / "gadget.cc").exists())
        self.assertTrue(cpus_h.exists())

    def test_hand_written_files_without_marker_are_left_alone(self):
        own = self.root / "vm" / "helper.h"
        own.write_text("// Hand-written.\n#pragma once\n")
        self.assertEqual(run(self.root, "--check").returncode, 0)
        self.assertEqual(run(self.root).returncode, 0)
        self.assertTrue(own.exists())

    def test_named_schemas_limit_the_run(self):
        (self.root / "vm" / "compute" / "cpus.h").unlink()
        (self.root / "vm" / "gadget.h").unlink()
        result = run(self.root, "--check", "schema/gadget.toml")
        self.assertEqual(result.returncode, 1)
        self.assertIn("vm/gadget.h", result.stderr)
        self.assertNotIn("vm/compute/cpus.h", result.stderr)
        self.assertEqual(run(self.root, "schema/gadget.toml").returncode, 0)
        self.assertTrue((self.root / "vm" / "gadget.h").exists())
        self.assertFalse((self.root / "vm" / "compute" / "cpus.h").exists())
        result = run(self.root, "schema/nothing.toml")
        self.assertEqual(result.returncode, 2)
        self.assertIn("schema/nothing.toml: no such schema", result.stderr)


class Regeneration(TempTree):
    def setUp(self):
        super().setUp()
        make_tree(self.root)
        (self.root / "schema" / "gadget.toml").write_text(BASE)
        self.assertEqual(run(self.root).returncode, 0)
        self.old = 1_000_000_000
        for path in (self.root / "vm").rglob("*"):
            os.utime(path, ns=(self.old, self.old))

    def test_unchanged_regeneration_rewrites_nothing(self):
        before = tree_state(self.root)
        result = run(self.root)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(" 0 of ", result.stdout)
        self.assertEqual(tree_state(self.root), before)

    def test_only_the_changed_service_is_rewritten(self):
        path = self.root / "schema" / "gadget.toml"
        path.write_text(path.read_text().replace('wire = "list"', 'wire = "list_all"'))
        self.assertEqual(run(self.root).returncode, 0)
        changed = sorted(rel for rel, (_, mtime) in tree_state(self.root).items()
                         if mtime != self.old)
        self.assertEqual(changed, ["vm/gadget.h"])

# (what to replace in BASE, its replacement, words the error must contain)
SCHEMA_ERRORS = [
    ('type = "int64", optional', 'type = "int32", optional', "field 'speed': unknown type 'int32'"),
    ('errors = ["Error", "NotFound"]', 'errors = ["Error", "Missing"]',
     "operation Get: unknown error 'Missing'"),
    ('errors = ["Error", "NotFound"]', 'errors = ["Error", "Error"]', "error 'Error' is listed twice"),
    ('type = "struct:Info"', 'type = "struct:Nope"', "unknown struct 'Nope'"),
    ('output = "struct:Info"', 'output = "maybe"', "unknown type 'maybe'"),
    ('"case:speed"]', '"case:sped"]', "check 'case:sped' names no field governed by the union"),
    ('"missing_tag", "case:speed"', '"case:speed"', "\"missing_tag\" exactly once"),
    ('"missing_tag", "case:speed"', '"missing_tag", "tag_missing", "case:speed"',
     "unknown check 'tag_missing'"),
    ('union_cases = ["FAST"]', 'union_cases = ["QUICK"]',
     "union case 'QUICK' is not a value of enum Mode"),
    ('union_predicate = "required"', 'union_predicate = "maybe"', "union_predicate must be"),
    ('type = "int64", optional = true, union', 'type = "int64", union',
     "a field governed by a union must be optional = true"),
    ('tag = "mode"', 'tag = "vm"', "tag 'vm' must be a required enum field"),
    ('union = { tag = "mode", checks = ["missing_tag", "case:speed"] }\n', '',
     "has union_cases but the struct declares no union"),
    ('fields = [["vm",', 'fields = [["vmm",', "field 'vmm' is not a field of Info"),
    ('resource = "vm"', 'resource = "machine"', "resource field 'machine' is not an input field"),
    ('errors = ["Unauthenticated"]', 'errors = ["Unauthenticated"]\nresource = "vm"',
     "an operation without input fields records no resource"),
    ('name = "List"', 'name = "Get"', "operation 'Get' is declared twice"),
    ('wire = "list"', 'wire = "List"', "'List' is not a lower_snake_case wire name"),
    ('name = "Holder"', 'name = "holder"', "'holder' is not an UpperCamelCase name"),
    ('name = "Holder"', 'name = "Info"', "'Info' is declared twice"),
    ('name = "Holder"', 'name = "Input"', "'Input' is a name the generated service class uses"),
    ('[{ wire = "vm", type = "string" }]', '[{ wire = "delete", type = "string" }]',
     "member name 'delete' is a C++ keyword"),
    ('{ wire = "vm", type = "string" },\n]', '{ wire = "vm", type = "string" },\n'
     '  { wire = "unknown_fields", type = "bool" },\n]', "member name 'unknownFields' is taken"),
    ('values = ["FAST", "SLOW"]', 'values = ["FAST", "SLOW", "FAST"]', "value 'FAST' is listed twice"),
    ('values = ["FAST", "SLOW"]', 'values = ["FAST", "_UNKNOWN"]', "'_UNKNOWN' is appended"),
    ('values = ["FAST", "SLOW"]', 'values = ["FAST", "NOT-SLOW"]', "is not a C++ identifier"),
    ('{ wire = "info", type = "struct:Info" }', '{ wire = "info", type = "struct:Holder" }',
     "struct 'Holder' is used before it is declared"),
    ('{ wire = "info", type = "struct:Info" }',
     '{ wire = "info", type = "list:struct:Info", optional = true }', "a list cannot be optional"),
    ('{ wire = "info", type = "struct:Info" }', '{ wire = "info", type = "struct:Info", opt = true }',
     "unknown key 'opt'"),
    ('service = "GadgetSvc"', 'service = "Gadget"', "'Gadget' must end in Svc"),
    ('id = "com.brantel.kov.vm.compute.gadget"', 'id = "org.example.gadget"',
     "must start with 'com.brantel.kov.vm.'"),
    ('service = "GadgetSvc"\n', '', "missing key 'service'"),
    ('input = [{ wire = "vm", type = "string" }]', 'input = []', "input = \"operation_input\""),
    ('name = "com.brantel.kov.vm.compute.Gadget.Info"', 'name = "say \\"hi\\""',
     "printable ASCII without quotes"),
]


class SchemaErrors(TempTree):
    def generate_with(self, text, name="gadget.toml"):
        make_tree(self.root, {name: text})
        return run(self.root)

    def test_base_schema_is_valid(self):
        result = self.generate_with(BASE)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_mistake_is_reported_with_file_and_place(self):
        for old, new, words in SCHEMA_ERRORS:
            with self.subTest(words=words):
                self.assertIn(old, BASE)
                with tempfile.TemporaryDirectory() as d:
                    self.root = Path(d)
                    result = self.generate_with(BASE.replace(old, new, 1))
                    self.assertEqual(result.returncode, 2, result.stdout)
                    self.assertIn("schema/gadget.toml: ", result.stderr)
                    self.assertIn(words, result.stderr)
                    self.assertEqual(list((self.root / "vm").iterdir()), [])

    def test_invalid_toml(self):
        result = self.generate_with(BASE + "\n[[operations]\n")
        self.assertEqual(result.returncode, 2)
        self.assertIn("schema/gadget.toml: not valid TOML", result.stderr)

    def test_a_broken_schema_stops_every_service(self):
        make_tree(self.root, {"gadget.toml": BASE, "broken.toml": BASE.replace("Gadget", "Broken")
                              .replace("gadget", "broken").replace('"Error", ', '"Oops", ')})
        result = run(self.root)
        self.assertEqual(result.returncode, 2)
        self.assertIn("schema/broken.toml: operation Get: unknown error 'Oops'", result.stderr)
        self.assertEqual(list((self.root / "vm").iterdir()), [])

    def test_two_schemas_may_not_generate_the_same_thing(self):
        copy = BASE.replace('service = "GadgetSvc"', 'service = "WidgetSvc"')
        make_tree(self.root, {"gadget.toml": BASE, "widget.toml": copy})
        result = run(self.root)
        self.assertEqual(result.returncode, 2)
        self.assertIn("'com.brantel.kov.vm.compute.gadget' is also generated by", result.stderr)


class Layout(unittest.TestCase):
    def test_long_lists_fill_lines_within_the_limit(self):
        items = [f"::Tarn::Item{n}" for n in range(40)]
        lines = emit.wrap("    ", "using List = ::Tarn::List<", items, ">;")
        self.assertGreater(len(lines), 2)
        self.assertTrue(all(len(line) <= emit.LIMIT for line in lines))
        self.assertEqual(" ".join(line.strip() for line in lines),
                         "using List = ::Tarn::List< " + ", ".join(items) + ">;")
        self.assertEqual(emit.wrap("", "f(", ["a", "b"], ");"), ["f(a, b);"])


if __name__ == "__main__":
    unittest.main()
