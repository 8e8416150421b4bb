"""Random but valid service schemas, for checking the generator's layout against clang-format
over names and counts far beyond those of the real services."""

import random

KEYWORDS = {"do", "if", "or", "and", "asm", "for", "int", "new", "not", "try", "xor", "auto",
            "bool", "case", "char", "else", "enum", "goto", "long", "this", "true", "void",
            "break", "catch", "class", "compl", "const", "false", "float", "or_eq", "short",
            "throw", "union", "using", "while", "bitor", "bitand", "delete", "double", "export",
            "extern", "friend", "inline", "not_eq", "public", "return", "signed", "sizeof",
            "static", "struct", "switch", "typeid", "and_eq", "xor_eq", "default", "mutable",
            "private", "typedef", "virtual", "alignas", "alignof", "concept", "nullptr",
            "decltype", "continue", "explicit", "noexcept", "operator", "register", "requires",
            "template", "typename", "unsigned", "volatile", "namespace", "protected", "constexpr"}

ERRORS = [
    "AlreadyExists", "AlreadyInDesiredState", "Error", "InvalidArgument",
    "NotAllowedInCurrentState", "NotFound", "ResourceBusy", "ResourceInUse",
    "ResourceInaccessible", "ServiceUnavailable", "UnableToAllocateResource", "Unauthenticated",
    "Unauthorized", "Unsupported",
]


def _word(rng, low, high):
    return "".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(low, high)))


def _wire(rng, parts=(1, 4), low=1, high=9):
    return "_".join(_word(rng, low, high) for _ in range(rng.randint(*parts)))


def _camel(wire):
    return "".join(p[0].upper() + p[1:] for p in wire.split("_"))


def _q(text):
    return '"' + text + '"'


def _unique(rng, make, taken):
    while True:
        value = make()
        if value not in taken and value not in KEYWORDS and value.lower() not in KEYWORDS:
            taken.add(value)
            return value


def random_schema(rng, path):
    """The text of a random schema; `path` is its place under schema/ without .toml."""
    stem = path.split("/")[-1]
    namespace = _camel(path.split("/")[0]) if "/" in path else ""
    service = _camel(stem) + "Svc"
    sid = "com.brantel.kov.vm." + path.replace("/", ".")
    out = [f'namespace = "{namespace}"', f'service = "{service}"', f'id = "{sid}"', ""]

    taken = set()
    enums = []
    for _ in range(rng.randint(0, 3)):
        name = _unique(rng, lambda: _camel(_wire(rng, (1, 3))), taken)
        count = rng.choice([1, 2, 3, 4, 5, 6, 7, 8, 11, 17, 24])
        values = []
        for _ in range(count):
            values.append(_unique(rng, lambda: _wire(rng, (1, 3), 1, 7).upper(), set(values)))
        enums.append((name, values))
        out += ["[[enums]]", f'name = "{name}"', f'wire = "{_wire(rng)}"',
                "values = [" + ", ".join(_q(v) for v in values) + "]", ""]

    def field_type(structs):
        kinds = ["string", "int64", "bool"]
        if enums:
            kinds += ["enum", "set_enum"]
        if structs:
            kinds += ["struct", "list"]
        kind = rng.choice(kinds + ["set_string"])
        if kind == "enum":
            return "enum:" + rng.choice(enums)[0]
        if kind == "set_enum":
            return "set:enum:" + rng.choice(enums)[0]
        if kind == "set_string":
            return "set:string"
        if kind == "struct":
            return "struct:" + rng.choice(structs)
        if kind == "list":
            return "list:struct:" + rng.choice(structs)
        return kind

    def fields(structs, count):
        members = set()
        result = []
        for _ in range(count):
            wire = _unique(rng, lambda: _wire(rng, (1, 4), 1, 8), members)
            t = field_type(structs)
            optional = not t.startswith("list:") and rng.random() < 0.4
            result.append((wire, t, optional))
        return result

    def field_text(wire, t, optional, extra=""):
        opt = ", optional = true" if optional else ""
        return f'  {{ wire = "{wire}", type = "{t}"{opt}{extra} }},'

    structs = []
    for _ in range(rng.randint(1, 5)):
        name = _unique(rng, lambda: _camel(_wire(rng, (1, 3), 2, 8)), taken)
        fs = fields(structs, rng.randint(1, 12))
        out += ["[[structs]]", f'name = "{name}"', f'wire = "{_wire(rng)}"', "fields = ["]
        union_enum = rng.choice(enums) if enums and rng.random() < 0.5 else None
        eligible = [f for f in fs if not f[1].startswith(("struct:", "list:"))]
        checks = []
        if union_enum and eligible:
            tag = _unique(rng, lambda: _wire(rng, (1, 2)), {f[0] for f in fs})
            out.append(field_text(tag, "enum:" + union_enum[0], False))
            governed = rng.sample(eligible, rng.randint(1, len(eligible)))
            for wire, t, optional in fs:
                if (wire, t, optional) not in governed:
                    out.append(field_text(wire, t, optional))
                    continue
                cases = rng.sample(union_enum[1], rng.randint(1, len(union_enum[1])))
                predicate = rng.choice(["required", "allowed"])
                extra = (", union_cases = [" + ", ".join(_q(c) for c in cases) +
                         f'], union_predicate = "{predicate}"')
                out.append(field_text(wire, t, True, extra))
                checks.append("case:" + wire)
            checks.insert(rng.randint(0, len(checks)), "missing_tag")
            out.append("]")
            out.append(f'union = {{ tag = "{tag}", checks = [' +
                       ", ".join(_q(c) for c in checks) + "] }")
        else:
            out += [field_text(*f) for f in fs]
            out.append("]")
        ids = [f[0] for f in fs if f[1] in ("string", "set:string")]
        if ids and rng.random() < 0.5:
            chosen = rng.sample(ids, min(len(ids), rng.randint(1, 3)))
            entries = ", ".join(f'["{w}", "com.brantel.kov.vm.{_camel(_wire(rng, (1, 3)))}"]'
                                for w in chosen)
            out.append(f'metadata = {{ name = "com.brantel.kov.vm.{_camel(stem)}.{name}", '
                       f"fields = [{entries}] }}")
        out.append("")
        structs.append(name)

    ops, wires = set(), set()
    for _ in range(rng.randint(1, 6)):
        name = _unique(rng, lambda: _camel(_wire(rng, (1, 2), 2, 8)), ops | taken)
        wire = _unique(rng, lambda: _wire(rng), wires)
        out += ["[[operations]]", f'name = "{name}"', f'wire = "{wire}"']
        resource = None
        if rng.random() < 0.15:
            out.append('input = "operation_input"')
        else:
            fs = fields(structs, rng.randint(1, 6))
            fs = [f for f in fs if f[0] not in ("activation", "result")] or [("vm", "string", False)]
            out.append("input = [")
            out += [field_text(*f) for f in fs]
            out.append("]")
            strings = [f[0] for f in fs if f[1] == "string" and not f[2]]
            if strings and rng.random() < 0.8:
                resource = rng.choice(strings)
        output = rng.choice(["void", "string", "set:string", "int64",
                             "struct:" + rng.choice(structs), "list:struct:" + rng.choice(structs)])
        out.append(f'output = "{output}"')
        errors = rng.sample(ERRORS, rng.randint(0, 9))
        out.append("errors = [" + ", ".join(_q(e) for e in errors) + "]")
        if resource:
            out.append(f'resource = "{resource}"')
        out.append("")
    return "\n".join(out)
