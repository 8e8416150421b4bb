"""Writes the header and source of one service package from its checked schema.

The generated code is declarative: records with their field lists, enumerations with their
string tables, union annotations and check order, structure metadata, method classes naming
their input fields, output, errors and resource, and the interface, binder and stub that hand
everything to the templates in binding/. No mechanism is written here.

Layout: a statement stays on one line when it fits in 100 columns; otherwise its list is filled
into continuation lines indented four more, and a long initialiser moves to a line of its own.
"""

import textwrap

from schema import upper_camel as upper

LIMIT = 100
ACTIVATION = "const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation"
API_INTERFACE = "std::shared_ptr<::Tarn::Provider::AsyncApiInterface>"
IMPLEMENTATION = "const std::shared_ptr<AsyncServiceInterface>& implementation"
LOCALIZER = "const std::shared_ptr<::Tarn::L10n::Localizer>& localizer"


def quote(text):
    return f'"{text}"'


def wrap(indent, head, items, tail):
    """`head` + the items joined by ", " + `tail`, filled into lines of at most LIMIT columns."""
    one = f"{indent}{head}{', '.join(items)}{tail}"
    if len(one) <= LIMIT or not items:
        return [one]
    lines, line = [indent + head.rstrip()], indent + "    "
    for n, item in enumerate(items):
        text = item + (tail if n == len(items) - 1 else ",")
        if line.strip() and len(line) + 1 + len(text) > LIMIT:
            lines.append(line)
            line = indent + "    "
        line += (" " if line.strip() else "") + text
    return lines + [line]


def constant(indent, declaration, value):
    """`declaration = value;`, the value on a line of its own when the whole is too long."""
    one = f"{indent}{declaration} = {value};"
    return [one] if len(one) <= LIMIT else [f"{indent}{declaration} =", f"{indent}    {value};"]


def member_type(f):
    """The native member type of a field."""
    if f.type.kind == "struct":
        return f"::Tarn::OptionalPtr<const {f.type.ref}>" if f.optional else value_type(f.type)
    return f"boost::optional<{value_type(f.type)}>" if f.optional else value_type(f.type)


def value_type(t):
    if t is None:
        return "::Tarn::Void"
    if t.kind in ("enum", "struct", "list"):
        ref = f"std::shared_ptr<const {t.ref}>"
        return {"enum": t.ref, "struct": ref, "list": f"std::vector<{ref}>"}[t.kind]
    if t.kind == "set":
        return f"std::set<{'std::string' if t.element_kind == 'string' else t.ref}>"
    return {"string": "std::string", "int64": "std::int64_t", "bool": "bool"}[t.kind]


def member_declaration(f):
    default = {"int64": " = 0", "bool": " = false"}.get(f.type.kind, "")
    return f"{member_type(f)} {f.member}{'' if f.optional else default};"


class Emitter:
    def __init__(self, service):
        self.s = service
        self.lines = [f"// Generated from {service.path} by codegen/generate.py. Do not edit."]

    def add(self, indent, *texts):
        self.lines.extend(indent + t if t else "" for t in texts)

    def blank(self):
        if self.lines[-1] != "":
            self.lines.append("")

    def doc(self, indent, text):
        if text:
            width = LIMIT - len(indent) - 3
            self.lines.extend(f"{indent}// {t}" for t in textwrap.wrap(text, width))

    def namespace(self, body):
        namespace = "::".join(self.s.namespaces)
        self.add("", f"namespace {namespace} {{", "")
        body()
        self.blank()
        self.add("", f"}}  // namespace {namespace}")
        return "\n".join(self.lines) + "\n"

    def strings(self, indent, values):
        self.add(indent, "struct Strings {")
        self.lines += wrap(indent + "  ", "static constexpr const char* values[] = {",
                           [quote(v) for v in values] + ['"_UNKNOWN"', "nullptr"], "};")
        self.add(indent, "};")

    def enum(self, e):
        self.doc("  ", e.doc)
        self.add("  ", f"struct {e.name} : ::Tarn::EnumBase<{e.name}> {{")
        self.lines += wrap("    ", "enum Value : std::int32_t { ", e.values + ["_UNKNOWN"], " };")
        self.strings("    ", e.values)
        self.lines += constant("    ", "static constexpr char typeName[]",
                               quote(f"{self.s.id}.{e.wire}"))
        self.add("    ", "using EnumBase::EnumBase;")
        self.add("  ", "};")

    def annotations(self, struct):
        self.add("  ", f"struct {struct.name}Annotations {{", "  struct UnionTags {")
        self.strings("      ", [struct.union.tag])
        self.add("    ", "};")
        for f in struct.fields:
            if f.union_cases is not None:
                self.add("    ", f"struct {upper(f.wire)}UnionCases {{")
                self.strings("      ", f.union_cases)
                self.add("    ", "};")
        self.add("  ", "};")

    def record(self, i, name, fields, native_name, type_name=None, operation_name=None,
               union=None, metadata=None, doc=None):
        self.doc(i, doc)
        self.add(i, f"struct {name} : ::Tarn::Data::BaseNative {{")
        j, k = i + "  ", i + "    "
        for what, value in (("typeName", type_name), ("nativeName", native_name),
                            ("operationName", operation_name)):
            if value:
                self.lines += constant(j, f"static constexpr char {what}[]", quote(value))
        self.blank()
        for f in fields:
            self.doc(j, f.doc)
            self.add(j, member_declaration(f))
        self.blank()
        self.add(j, "struct AdapterHelper {")
        self.lines += wrap(k, f"static constexpr ::Tarn::Data::SortedNames<{len(fields)}> "
                           "sortedNames{{", [quote(n) for n in sorted(f.wire for f in fields)],
                           "}};")
        self.add(k, "template <class Helper> static constexpr void AddFields(Helper& h) {")
        for f in fields:
            self.add(k, f'  h.AddField("{f.wire}", &{name}::{f.member});')
        self.add(k, "}")
        self.add(j, "};")
        if union:
            self.union(j, name, fields, union)
        if metadata and metadata[0]:
            self.add(j, "struct Metadata {")
            self.lines += constant(k, "static constexpr char name[]", quote(metadata[0]))
            self.add(k, "static constexpr ::Tarn::Metadata::ResourceField fields[] = {")
            self.add(k, *(f"    {{{quote(w)}, {quote(t)}}}," for w, t in metadata[1]))
            self.add(k, "};")
            self.add(j, "};")
        self.add(i, "};")

    def union(self, j, name, fields, union):
        """The union's check order; each check names the tag values that govern its field."""
        k = j + "  "
        tag = next(f for f in fields if f.wire == union.tag).member
        self.add(j, f"using UnionTags = {name}Annotations::UnionTags;", "struct UnionRules {")
        self.add(k, "template <class Checker> static constexpr void Check(Checker& c) {")
        for check in union.checks:
            if check == "missing_tag":
                self.add(k, f"  c.template MissingTag<UnionTags>(&{name}::{tag});")
                continue
            f = next(g for g in fields if g.wire == check)
            predicate = ("UnionCaseAnyEnumValue" if f.union_predicate == "required"
                         else "OptUnionCaseAnyEnumValue")
            self.lines += wrap(k + "  ", "c.Case(", [
                f"&{name}::{tag}", f"&{name}::{f.member}", quote(f.member),
                f"::Tarn::Data::{predicate}<{name}Annotations::{upper(f.wire)}UnionCases>()"],
                ");")
        self.add(k, "}")
        self.add(j, "};")

    def method(self, op):
        s, m = self.s, op.name + "Method"
        self.add("  ", f"struct {m} : MethodOf<{m}, {value_type(op.output)}> {{")
        i = "    "
        if op.input is None:
            self.add(i, "using Input = ::Tarn::OperationInput;")
        else:
            self.record(i, "Input", op.input, f"{s.native_prefix}::{m}::Input",
                        operation_name=f"{s.native_prefix}::{op.name}")
            self.blank()
        self.lines += wrap(i, "using Fields = ::Tarn::Provider::Fields<",
                           [f"&Input::{f.member}" for f in op.input or []], ">;")
        self.lines += wrap(i, "using Errors = ::Tarn::Provider::ErrorList<",
                           [f"StdErrors::{e}" for e in op.errors], ">;")
        self.add(i, f"static constexpr char wireName[] = {quote(op.wire)};")
        if op.reads_only:
            self.add(i, "static constexpr bool readsOnly = true;")
        if op.resource:
            member = next(f.member for f in op.input if f.wire == op.resource)
            self.add(i, f"static constexpr auto resourceField = &Input::{member};")
        self.add("  ", "};")

    def operation(self, indent, head, op, tail):
        params = [f"const {member_type(f)}& {f.member}" for f in op.input or []]
        return wrap(indent, head, params + [ACTIVATION, f"const {op.name}Method::ResultCbType& "
                                            "result"], tail)

    def header(self):
        self.add("", "#pragma once", "", '#include "binding/service.h"', "")
        return self.namespace(self.header_body)

    def header_body(self):
        s = self.s
        self.doc("", s.doc)
        self.add("", f"class KOV_EXPORT {s.name} {{", " public:", "  class AsyncServiceInterface;")
        self.add("  ", "template <class M, class Output>",
                 "using MethodOf = ::Tarn::Provider::MethodBase<M, AsyncServiceInterface, Output>;")
        for e in s.enums:
            self.blank()
            self.enum(e)
        for struct in s.structs:
            self.blank()
            if struct.union:
                self.annotations(struct)
                self.blank()
            self.record("  ", struct.name, struct.fields, f"{s.native_prefix}::{struct.name}",
                        type_name=f"{s.id}.{struct.wire}", union=struct.union,
                        metadata=(struct.metadata_name, struct.metadata_fields), doc=struct.doc)
        for op in s.operations:
            self.blank()
            self.method(op)
        self.blank()
        self.add("  ", "class KOV_EXPORT AsyncServiceInterface {", "   public:")
        self.add("    ", f"static constexpr char typeName[] = {quote(s.id)};")
        for op in s.operations:
            self.doc("    ", op.doc)
            self.lines += self.operation("    ", f"virtual void {op.name}(", op, ") = 0;")
        self.add("    ", "virtual ~AsyncServiceInterface();")
        self.add("  ", "};", "")
        self.add("  ", "class KOV_EXPORT AsyncServiceBinderHelper : "
                 "public ::Tarn::Provider::BinderHelperBase {", "   public:")
        for op in s.operations:
            self.lines += constant("    ", f"using {op.name}MethodBuilder",
                                   f"::Tarn::Provider::MethodBuilder<{op.name}Method, "
                                   "AsyncServiceInterface>")
        self.lines += wrap("    ", f"static {API_INTERFACE} Bind(", [IMPLEMENTATION, LOCALIZER],
                           ");")
        self.add("  ", "};", "")
        self.add("  ", "using AsyncServiceBinder =",
                 "    ::Tarn::Provider::Binder<AsyncServiceBinderHelper, AsyncServiceInterface>;")
        self.add("", "")
        self.add("  ", "class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {",
                 "   public:")
        self.add("    ", "explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> "
                 "apiStub)", "    : apiStub_(std::move(apiStub)) {}")
        for op in s.operations:
            self.lines += self.operation("    ", f"void {op.name}(", op, ") override;")
        self.add("", "")
        self.add("  ", " private:", "  std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;")
        self.add("", "  };", "};")

    def source(self):
        self.add("", f'#include "{self.s.header}"', "")
        return self.namespace(self.source_body)

    def source_body(self):
        s = self.s
        self.add("", f"{s.name}::AsyncServiceInterface::~AsyncServiceInterface() = default;", "")
        self.add("", API_INTERFACE)
        self.lines += wrap("", f"{s.name}::AsyncServiceBinderHelper::Bind(",
                           [IMPLEMENTATION, LOCALIZER], ") {")
        self.add("  ", "using ::Tarn::Provider::MakeSlot;")
        self.lines += wrap("  ", "return ::Tarn::Provider::BindInterface(", [
            "implementation", "localizer"] + [
            f"MakeSlot<{op.name}Method>(&AsyncServiceInterface::{op.name})"
            for op in s.operations], ");")
        self.add("", "}")
        for op in s.operations:
            self.add("", "")
            self.lines += self.operation("", f"void {s.name}::AsyncServiceStub::{op.name}(", op,
                                         ") {")
            self.lines += wrap("  ", f"::Tarn::Stub::Call<{op.name}Method>(", [
                "apiStub_", "activation", "result"] + [f.member for f in op.input or []], ");")
            self.add("", "}")


def generate(service):
    """The generated files of a service: {path: text}."""
    return {service.header: Emitter(service).header(), service.source: Emitter(service).source()}
