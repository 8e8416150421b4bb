"""Reads and checks one service schema (schema/**/*.toml) into the model the emitter works from.

Every problem is reported as a SchemaError naming the schema file and the place in it; nothing
is emitted from a schema that has one. codegen/README.md describes the format.
"""

import re
import tomllib
from dataclasses import dataclass, field
from typing import Optional

ROOT_NAMESPACE = ["Com", "Brantel", "Kov", "Vm"]
ID_ROOT = "com.brantel.kov.vm"
VM_RESOURCE = "com.brantel.kov.vm.VirtualMachine"

# The standard errors an operation may list, as the runtime defines them.
STD_ERRORS = (
    "AlreadyExists",
    "AlreadyInDesiredState",
    "Error",
    "InvalidArgument",
    "NotAllowedInCurrentState",
    "NotFound",
    "ResourceBusy",
    "ResourceInUse",
    "ResourceInaccessible",
    "ServiceUnavailable",
    "UnableToAllocateResource",
    "Unauthenticated",
    "Unauthorized",
    "Unsupported",
)

CPP_KEYWORDS = frozenset(
    """alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t
    char16_t char32_t class compl concept const consteval constexpr constinit const_cast continue
    co_await co_return co_yield decltype default delete do double dynamic_cast else enum explicit
    export extern false float for friend goto if inline int long mutable namespace new noexcept
    not not_eq nullptr operator or or_eq private protected public register reinterpret_cast
    requires return short signed sizeof static static_assert static_cast struct switch template
    this thread_local throw true try typedef typeid typename union unsigned using virtual void
    volatile wchar_t while xor xor_eq NULL""".split()
)

# Names the generated classes use for themselves, which schema names must not take.
SERVICE_SCOPE_NAMES = frozenset(
    """AsyncServiceInterface AsyncServiceBinder AsyncServiceBinderHelper AsyncServiceStub Input
    Output Interface Fields Errors ResultCbType MethodOf""".split()
)
RECORD_SCOPE_NAMES = frozenset(
    """unknownFields typeName nativeName operationName AdapterHelper UnionRules UnionTags
    Metadata""".split()
)
ENUM_SCOPE_NAMES = frozenset("Value Strings typeName value values number unknownText".split())
# Parameter names of every interface operation besides the input fields.
PARAMETER_NAMES = frozenset(["activation", "result"])

SCALARS = ("string", "int64", "bool")

TOP_KEYS = {"namespace", "service", "id", "header", "source", "doc", "enums", "structs",
            "operations"}
ENUM_KEYS = {"name", "wire", "values", "doc"}
STRUCT_KEYS = {"name", "wire", "fields", "union", "metadata", "doc"}
FIELD_KEYS = {"wire", "type", "optional", "union_cases", "union_predicate", "doc"}
INPUT_FIELD_KEYS = {"wire", "type", "optional", "doc"}
UNION_KEYS = {"tag", "checks"}
METADATA_KEYS = {"name", "fields"}
OPERATION_KEYS = {"name", "wire", "input", "output", "errors", "resource", "reads_only", "doc"}

UPPER_CAMEL = re.compile(r"[A-Z][A-Za-z0-9]*\Z")
SNAKE = re.compile(r"[a-z][a-z0-9]*(_[a-z0-9]+)*\Z")
FIELD_WIRE = re.compile(r"[a-z][A-Za-z0-9]*(_[A-Za-z0-9]+)*\Z")
IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_]*\Z")
SERVICE_ID = re.compile(r"[a-z][a-z0-9_]*(\.[a-z][a-z0-9_]*)+\Z")
# Texts that go into C++ string literals as they are.
LITERAL_TEXT = re.compile(r"[\x20-\x7e]*\Z")
GENERATED_PATH = re.compile(r"vm/([a-z0-9_]+/)*[a-z0-9_]+\Z")


class SchemaError(Exception):
    pass


def lower_camel(wire):
    """The native member name of a wire name: "guest_OS" is guestOS, "vm_id" is vmId."""
    first, *rest = wire.split("_")
    return first[0].lower() + first[1:] + "".join(part[0].upper() + part[1:] for part in rest)


def upper_camel(wire):
    member = lower_camel(wire)
    return member[0].upper() + member[1:]


@dataclass
class Type:
    kind: str  # "string", "int64", "bool", "enum", "struct", "list", "set"
    ref: Optional[str] = None  # enum or struct name; for sets, the element ("string" or enum)
    element_kind: Optional[str] = None  # for sets: "string" or "enum"


@dataclass
class Field:
    wire: str
    type: Type
    optional: bool = False
    union_cases: Optional[list] = None
    union_predicate: Optional[str] = None
    doc: Optional[str] = None

    @property
    def member(self):
        return lower_camel(self.wire)


@dataclass
class Enum:
    name: str
    wire: str
    values: list
    doc: Optional[str] = None


@dataclass
class Union:
    tag: str
    checks: list  # "missing_tag" or the wire name of a governed field


@dataclass
class Struct:
    name: str
    wire: str
    fields: list
    union: Optional[Union] = None
    metadata_name: Optional[str] = None
    metadata_fields: list = field(default_factory=list)  # (wire, resource type)
    doc: Optional[str] = None

    def field(self, wire):
        return next((f for f in self.fields if f.wire == wire), None)


@dataclass
class Operation:
    name: str
    wire: str
    input: Optional[list]  # None: the operation takes Tarn::OperationInput
    output: Optional[Type]  # None: void
    errors: list
    resource: Optional[str] = None
    doc: Optional[str] = None
    reads_only: bool = False  # a caller allowed only to read may call it


@dataclass
class Service:
    path: str  # schema file, relative to the repository root
    namespace: str
    name: str
    id: str
    header: str
    source: str
    doc: Optional[str]
    enums: list
    structs: list
    operations: list

    @property
    def namespaces(self):
        return ROOT_NAMESPACE + ([self.namespace] if self.namespace else [])

    @property
    def native_prefix(self):
        return "::" + "::".join(self.namespaces + [self.name])

    def enum(self, name):
        return next((e for e in self.enums if e.name == name), None)

    def struct(self, name):
        return next((s for s in self.structs if s.name == name), None)


class _Reader:
    """Checks one parsed schema; `where` names the place being read for error messages."""

    def __init__(self, path):
        self.path = path
        self.struct_names = set()  # every struct the schema declares, wherever

    def fail(self, where, problem):
        place = f"{where}: " if where else ""
        raise SchemaError(f"{self.path}: {place}{problem}")

    def table(self, value, where, keys, required):
        if not isinstance(value, dict):
            self.fail(where, "must be a table")
        unknown = sorted(set(value) - keys)
        if unknown:
            self.fail(where, f"unknown key '{unknown[0]}' (known: {', '.join(sorted(keys))})")
        for key in required:
            if key not in value:
                self.fail(where, f"missing key '{key}'")
        return value

    def string(self, value, where, pattern=None, what="a string"):
        if not isinstance(value, str) or not value:
            self.fail(where, f"must be {what}")
        if pattern and not pattern.match(value):
            self.fail(where, f"'{value}' is not {what}")
        return value

    def text(self, value, where):
        """A text that goes into a C++ string literal or a comment."""
        self.string(value, where)
        if not LITERAL_TEXT.match(value) or '"' in value or "\\" in value:
            self.fail(where, f"'{value}' must be printable ASCII without quotes or backslashes")
        return value

    def doc(self, value, where):
        if value is None:
            return None
        if not isinstance(value, str) or not value.strip():
            self.fail(where, "doc must be a non-empty string")
        if not re.match(r"[\x20-\x7e\n]*\Z", value):
            self.fail(where, "doc must be printable ASCII")
        return value

    def identifier(self, value, where, pattern, what):
        self.string(value, where, pattern, what)
        if value in CPP_KEYWORDS:
            self.fail(where, f"'{value}' is a C++ keyword")
        return value

    def array(self, value, where, what="an array"):
        if not isinstance(value, list):
            self.fail(where, f"must be {what}")
        return value

    def boolean(self, value, where):
        if not isinstance(value, bool):
            self.fail(where, "must be true or false")
        return value


def _parse_type(r, text, where, service, declared_structs, output=False):
    """A field or output type. Structures must be declared before the structure using them;
    operations may use any."""
    r.string(text, where, what="a type")
    if text in SCALARS:
        return Type(text)
    kind, _, rest = text.partition(":")

    def enum_ref(name):
        if not service.enum(name):
            r.fail(where, f"unknown enum '{name}' in type '{text}'")
        return name

    def struct_ref(name):
        if name not in declared_structs:
            if name in r.struct_names:
                r.fail(where, f"struct '{name}' is used before it is declared "
                       "(structs must follow the structs they use)")
            r.fail(where, f"unknown struct '{name}' in type '{text}'")
        return name

    if kind == "enum" and rest:
        return Type("enum", enum_ref(rest))
    if kind == "struct" and rest:
        return Type("struct", struct_ref(rest))
    if kind == "list" and rest.startswith("struct:") and rest[7:]:
        return Type("list", struct_ref(rest[7:]))
    if kind == "set" and rest == "string":
        return Type("set", "string", "string")
    if kind == "set" and rest.startswith("enum:") and rest[5:]:
        return Type("set", enum_ref(rest[5:]), "enum")
    choices = ("string, int64, bool, enum:<Name>, struct:<Name>, list:struct:<Name>, set:string, "
               "set:enum:<Name>")
    if output:
        choices = "void, " + choices
    r.fail(where, f"unknown type '{text}' (types: {choices})")


def _parse_field(r, raw, where, service, declared_structs, keys, taken):
    r.table(raw, where, keys, ["wire", "type"])
    wire = r.string(raw["wire"], where, FIELD_WIRE, "a field wire name (lower_snake_case)")
    where = f"{where} '{wire}'"
    member = lower_camel(wire)
    if member in CPP_KEYWORDS:
        r.fail(where, f"member name '{member}' is a C++ keyword")
    if member in taken:
        r.fail(where, f"member name '{member}' is taken")
    taken.add(member)
    ftype = _parse_type(r, raw["type"], where, service, declared_structs)
    optional = r.boolean(raw.get("optional", False), f"{where}: optional")
    if optional and ftype.kind == "list":
        r.fail(where, "a list cannot be optional (an empty list stands for none)")
    f = Field(wire, ftype, optional, doc=r.doc(raw.get("doc"), where))
    if "union_cases" in raw or "union_predicate" in raw:
        f.union_cases = r.array(raw.get("union_cases"), f"{where}: union_cases",
                                "an array of tag values")
        if not f.union_cases:
            r.fail(where, "union_cases must list at least one tag value")
        predicate = raw.get("union_predicate")
        if predicate not in ("required", "allowed"):
            r.fail(where, "union_predicate must be \"required\" (set exactly for the listed tag "
                   "values) or \"allowed\" (may be set only for them)")
        f.union_predicate = predicate
        if not optional:
            r.fail(where, "a field governed by a union must be optional = true")
        if ftype.kind in ("struct", "list"):
            r.fail(where, "a field governed by a union must be a string, int64, bool, enum or set")
    return f


def _named(r, raw, kind, index, keys, required, names):
    """The name, place and wire name of the index-th enum or struct, its name claimed."""
    where = f"{kind}s[{index}]"
    r.table(raw, where, keys, ["name", "wire", required])
    name = r.identifier(raw["name"], f"{where}: name", UPPER_CAMEL, "an UpperCamelCase name")
    where = f"{kind} {name}"
    _claim(r, names, name, where)
    return name, where, r.string(raw["wire"], f"{where}: wire", SNAKE,
                                 "a lower_snake_case wire name")


def _parse_enum(r, raw, index, service, names):
    name, where, wire = _named(r, raw, "enum", index, ENUM_KEYS, "values", names)
    values = _enum_values(r, raw["values"], f"{where}: values")
    return Enum(name, wire, values, r.doc(raw.get("doc"), where))


def _enum_values(r, raw, where):
    r.array(raw, where, "an array of value names")
    if not raw:
        r.fail(where, "must list at least one value")
    seen = set()
    for value in raw:
        r.identifier(value, where, IDENTIFIER, "a C++ identifier")
        if value == "_UNKNOWN":
            r.fail(where, "'_UNKNOWN' is appended by the generator; do not list it")
        if value in ENUM_SCOPE_NAMES:
            r.fail(where, f"'{value}' is a name the enumeration class uses itself")
        if value in seen:
            r.fail(where, f"value '{value}' is listed twice")
        seen.add(value)
    return list(raw)


def _claim(r, names, name, where):
    if name in SERVICE_SCOPE_NAMES:
        r.fail(where, f"'{name}' is a name the generated service class uses itself")
    if name in names:
        r.fail(where, f"'{name}' is declared twice ({names[name]} and {where})")
    names[name] = where


def _parse_struct(r, raw, index, service, declared, names):
    name, where, wire = _named(r, raw, "struct", index, STRUCT_KEYS, "fields", names)
    fields_raw = r.array(raw["fields"], f"{where}: fields", "an array of fields")
    if not fields_raw:
        r.fail(where, "a struct needs at least one field")
    taken = set(RECORD_SCOPE_NAMES)
    wires = set()
    fields = []
    for i, raw_field in enumerate(fields_raw):
        f = _parse_field(r, raw_field, f"{where}: field", service, declared, FIELD_KEYS, taken)
        if f.wire in wires:
            r.fail(where, f"field '{f.wire}' is declared twice")
        wires.add(f.wire)
        fields.append(f)
    s = Struct(name, wire, fields, doc=r.doc(raw.get("doc"), where))
    _parse_union(r, raw.get("union"), s, where, service)
    if "metadata" in raw:
        _parse_metadata(r, raw["metadata"], s, where)
    return s


def _parse_union(r, raw, s, where, service):
    governed = [f for f in s.fields if f.union_cases is not None]
    if raw is None:
        if governed:
            r.fail(f"{where}: field '{governed[0].wire}'",
                   "has union_cases but the struct declares no union")
        return
    uwhere = f"{where}: union"
    r.table(raw, uwhere, UNION_KEYS, ["tag", "checks"])
    tag = s.field(r.string(raw["tag"], f"{uwhere}: tag"))
    if not tag:
        r.fail(uwhere, f"tag '{raw['tag']}' is not a field of {s.name}")
    if tag.type.kind != "enum" or tag.optional or tag.union_cases is not None:
        r.fail(uwhere, f"tag '{tag.wire}' must be a required enum field")
    if not governed:
        r.fail(uwhere, "no field is governed by the union (give fields union_cases)")
    tag_enum = service.enum(tag.type.ref)
    for f in governed:
        for case in f.union_cases:
            if case not in tag_enum.values:
                r.fail(f"{where}: field '{f.wire}'",
                       f"union case '{case}' is not a value of enum {tag_enum.name}")
        if len(set(f.union_cases)) != len(f.union_cases):
            r.fail(f"{where}: field '{f.wire}'", "union_cases lists a tag value twice")
    checks = r.array(raw["checks"], f"{uwhere}: checks", "an array of checks")
    order = []
    for check in checks:
        if check == "missing_tag":
            order.append(check)
            continue
        if not isinstance(check, str) or not check.startswith("case:"):
            r.fail(uwhere, f"unknown check {check!r} (checks: \"missing_tag\", "
                   "\"case:<field wire name>\")")
        target = s.field(check[5:])
        if not target or target.union_cases is None:
            r.fail(uwhere, f"check '{check}' names no field governed by the union")
        order.append(target.wire)
    if order.count("missing_tag") != 1:
        r.fail(uwhere, "checks must contain \"missing_tag\" exactly once")
    for f in governed:
        if order.count(f.wire) != 1:
            r.fail(uwhere, f"checks must contain \"case:{f.wire}\" exactly once")
    s.union = Union(tag.wire, order)


def _parse_metadata(r, raw, s, where):
    mwhere = f"{where}: metadata"
    r.table(raw, mwhere, METADATA_KEYS, ["name", "fields"])
    s.metadata_name = r.text(raw["name"], f"{mwhere}: name")
    entries = r.array(raw["fields"], f"{mwhere}: fields", "an array of [field, resource type]")
    if not entries:
        r.fail(mwhere, "fields must name at least one field")
    for entry in entries:
        if not (isinstance(entry, list) and len(entry) == 2):
            r.fail(mwhere, f"entry {entry!r} must be [field wire name, resource type]")
        wire, resource = entry
        f = s.field(wire) if isinstance(wire, str) else None
        if not f:
            r.fail(mwhere, f"field {wire!r} is not a field of {s.name}")
        if f.type.kind not in ("string", "set") or f.type.ref not in (None, "string"):
            r.fail(mwhere, f"field '{wire}' does not hold resource identifiers (string or "
                   "set:string)")
        if any(w == wire for w, _ in s.metadata_fields):
            r.fail(mwhere, f"field '{wire}' is listed twice")
        s.metadata_fields.append((wire, r.text(resource, f"{mwhere}: resource type")))


def _parse_operation(r, raw, index, service, names, wires):
    where = f"operations[{index}]"
    r.table(raw, where, OPERATION_KEYS, ["name", "wire", "input", "output", "errors"])
    name = r.identifier(raw["name"], f"{where}: name", UPPER_CAMEL, "an UpperCamelCase name")
    where = f"operation {name}"
    if name in names:
        r.fail(where, f"operation '{name}' is declared twice")
    names.add(name)
    wire = r.string(raw["wire"], f"{where}: wire", SNAKE, "a lower_snake_case wire name")
    if wire in wires:
        r.fail(where, f"wire name '{wire}' is used twice")
    wires.add(wire)
    all_structs = {s.name for s in service.structs}
    if raw["input"] == "operation_input":
        inputs = None
    else:
        inputs_raw = r.array(raw["input"], f"{where}: input",
                             "an array of fields, or \"operation_input\"")
        if not inputs_raw:
            r.fail(where, "an operation without input fields takes input = \"operation_input\"")
        taken = set(RECORD_SCOPE_NAMES) | PARAMETER_NAMES
        inputs = []
        for raw_field in inputs_raw:
            f = _parse_field(r, raw_field, f"{where}: input field", service, all_structs,
                             INPUT_FIELD_KEYS, taken)
            if any(g.wire == f.wire for g in inputs):
                r.fail(where, f"input field '{f.wire}' is declared twice")
            inputs.append(f)
    output = None
    if raw["output"] != "void":
        output = _parse_type(r, raw["output"], f"{where}: output", service, all_structs, True)
    errors = r.array(raw["errors"], f"{where}: errors", "an array of error names")
    for error in errors:
        if error not in STD_ERRORS:
            r.fail(where, f"unknown error {error!r} (errors: {', '.join(STD_ERRORS)})")
        if errors.count(error) > 1:
            r.fail(where, f"error '{error}' is listed twice")
    resource = raw.get("resource")
    if resource is not None:
        if inputs is None:
            r.fail(where, "an operation without input fields records no resource")
        f = next((g for g in inputs if g.wire == resource), None)
        if not f:
            r.fail(where, f"resource field {resource!r} is not an input field")
        if f.type.kind != "string" or f.optional:
            r.fail(where, f"resource field '{resource}' must be a required string")
    return Operation(name, wire, inputs, output, list(errors), resource,
                     r.doc(raw.get("doc"), where),
                     r.boolean(raw.get("reads_only", False), f"{where}: reads_only"))


def load(path, rel):
    """Reads and checks the schema at `path`; `rel` is its path from the repository root."""
    r = _Reader(rel)
    try:
        with open(path, "rb") as f:
            raw = tomllib.load(f)
    except tomllib.TOMLDecodeError as e:
        raise SchemaError(f"{rel}: not valid TOML: {e}") from None
    r.table(raw, "", TOP_KEYS, ["namespace", "service", "id", "operations"])
    namespace = raw["namespace"]
    if namespace != "":
        r.identifier(namespace, "namespace", UPPER_CAMEL, "an UpperCamelCase namespace or \"\"")
    name = r.identifier(raw["service"], "service", UPPER_CAMEL, "an UpperCamelCase name")
    if not name.endswith("Svc") or name == "Svc":
        r.fail("service", f"'{name}' must end in Svc")
    service_id = r.string(raw["id"], "id", SERVICE_ID, "a dotted lower-case service id")
    if not service_id.startswith(ID_ROOT + "."):
        r.fail("id", f"'{service_id}' must start with '{ID_ROOT}.'")
    stem = re.sub(r"^schema/", "vm/", rel)[: -len(".toml")]
    header = r.string(raw.get("header", stem + ".h"), "header")
    source = r.string(raw.get("source", stem + ".cc"), "source")
    if not (header.endswith(".h") and GENERATED_PATH.match(header[:-2])):
        r.fail("header", f"'{header}' must be a .h file under vm/")
    if not (source.endswith(".cc") and GENERATED_PATH.match(source[:-3])):
        r.fail("source", f"'{source}' must be a .cc file under vm/")
    service = Service(rel, namespace, name, service_id, header, source,
                      r.doc(raw.get("doc"), "doc"), [], [], [])

    structs = r.array(raw.get("structs", []), "structs", "an array of tables")
    r.struct_names = {s.get("name") for s in structs if isinstance(s, dict)}
    names = {}
    for i, e in enumerate(r.array(raw.get("enums", []), "enums", "an array of tables")):
        service.enums.append(_parse_enum(r, e, i, service, names))
    declared = set()
    for i, s in enumerate(structs):
        struct = _parse_struct(r, s, i, service, declared, names)
        service.structs.append(struct)
        declared.add(struct.name)
        if struct.union:
            _claim(r, names, struct.name + "Annotations", f"struct {struct.name}")
    operations = r.array(raw["operations"], "operations", "an array of tables")
    if not operations:
        r.fail("operations", "a service needs at least one operation")
    op_names, op_wires = set(), set()
    for i, op in enumerate(operations):
        operation = _parse_operation(r, op, i, service, op_names, op_wires)
        _claim(r, names, operation.name + "Method", f"operation {operation.name}")
        service.operations.append(operation)
    return service
