"""Writes the header and source of one service package from its checked schema.

The generated code is declarative: records with their field lists, enumerations with their
string tables, union annotations and check order, structure metadata, method classes naming
their input fields, output, errors and resource, and the interface, binder and stub that hand
everything to the templates in binding/. No mechanism is written here.
"""

import layout as L
from schema import upper_camel as upper

STD_ERRORS_NS = "::Com::Brantel::Tarn::Std::Errors::"
ACTIVATION = "const std::shared_ptr<::Tarn::Core::AsyncActivation>& activation"
API_INTERFACE = "std::shared_ptr<::Tarn::Provider::AsyncApiInterface>"
IMPLEMENTATION = "const std::shared_ptr<AsyncServiceInterface>& implementation"
LOCALIZER = "const std::shared_ptr<::Tarn::L10n::Localizer>& localizer"


def marker(service):
    return f"// Generated from {service.path} by codegen/generate.py. Do not edit."


def quote(text):
    return f'"{text}"'


def member_type(f):
    """The native member type of a field."""
    t = f.type
    if t.kind == "struct":
        if f.optional:
            return f"::Tarn::OptionalPtr<const {t.ref}>"
        return f"std::shared_ptr<const {t.ref}>"
    base = value_type(t)
    return f"boost::optional<{base}>" if f.optional else base


def value_type(t):
    if t is None:
        return "::Tarn::Void"
    if t.kind == "string":
        return "std::string"
    if t.kind == "int64":
        return "std::int64_t"
    if t.kind == "bool":
        return "bool"
    if t.kind == "enum":
        return t.ref
    if t.kind == "struct":
        return f"std::shared_ptr<const {t.ref}>"
    if t.kind == "list":
        return f"std::vector<std::shared_ptr<const {t.ref}>>"
    element = "std::string" if t.element_kind == "string" else t.ref
    return f"std::set<{element}>"


def member_declaration(f):
    default = ""
    if not f.optional and f.type.kind == "int64":
        default = " = 0"
    elif not f.optional and f.type.kind == "bool":
        default = " = false"
    return f"{member_type(f)} {f.member}{default};"


class Emitter:
    def __init__(self, service):
        self.s = service
        self.lines = []

    # -- output helpers --------------------------------------------------------------------

    def add(self, lines):
        self.lines.extend(lines)

    def line(self, indent, text):
        self.add(L.single(indent, text))

    def blank(self):
        if self.lines and self.lines[-1] != "":
            self.lines.append("")

    def doc(self, indent, text):
        if text:
            self.add(L.comment(indent, text))

    def text(self):
        return "\n".join(self.lines) + "\n"

    def open_namespaces(self):
        for ns in self.s.namespaces:
            self.line("", f"namespace {ns} {{")
        self.blank()

    def close_namespaces(self):
        self.blank()
        for ns in reversed(self.s.namespaces):
            self.line("", f"}}  // namespace {ns}")

    # -- enumerations ----------------------------------------------------------------------

    def enum_class(self, indent, name, values, type_name=None, doc=None):
        i = indent
        self.doc(i, doc)
        self.line(i, f"class {name} : public ::Tarn::Enum {{")
        self.line(i, " public:")
        self.add(L.enum_body(i + "  ", "enum Value : std::int32_t", values + ["_UNKNOWN"]))
        self.line(i + "  ", "struct Strings {")
        texts = [quote(v) for v in values] + ['"_UNKNOWN"', "nullptr"]
        self.add(L.table(i + "    ", "static constexpr const char* values[]", texts))
        self.line(i + "  ", "};")
        if type_name:
            self.add(L.assign(i + "  ", "static constexpr const char typeName[]",
                              quote(type_name) + ";"))
        self.line(i + "  ", "// NOLINTNEXTLINE(google-explicit-constructor)")
        ctor = f"{name}(Value value = _UNKNOWN) : ::Tarn::Enum(value) {{}}"
        if len(i) + 2 + len(ctor) <= L.LIMIT:
            self.line(i + "  ", ctor)
        else:
            self.line(i + "  ", f"{name}(Value value = _UNKNOWN)")
            self.line(i + "      ", ": ::Tarn::Enum(value) {}")
        self.line(i + "  ", "Value value() const { return static_cast<Value>(number()); }")
        self.line(i, "};")

    # -- records ---------------------------------------------------------------------------

    def annotations(self, indent, struct):
        governed = [f for f in struct.fields if f.union_cases is not None]
        self.line(indent, f"struct {struct.name}Annotations {{")
        self.enum_class(indent + "  ", "UnionTags", [struct.union.tag])
        for f in governed:
            self.blank()
            self.enum_class(indent + "  ", upper(f.wire) + "UnionCases", f.union_cases)
        self.line(indent, "};")

    def record(self, indent, name, fields, names, union=None, metadata=None, doc=None,
               native_name=None, operation_name=None, type_name=None):
        i = indent
        self.doc(i, doc)
        self.line(i, f"struct {name} : ::Tarn::Data::BaseNative {{")
        j = i + "  "
        if type_name:
            self.add(L.assign(j, "static constexpr const char typeName[]", quote(type_name) + ";"))
        self.add(L.assign(j, "static constexpr const char nativeName[]", quote(native_name) + ";"))
        if operation_name:
            self.add(L.assign(j, "static constexpr const char operationName[]",
                              quote(operation_name) + ";"))
        self.blank()
        for f in fields:
            self.doc(j, f.doc)
            self.line(j, member_declaration(f))

        governed = [f for f in fields if f.union_cases is not None]
        annotations = f"{name}Annotations"
        if governed:
            self.blank()
            self.line(j, "// The union's tag, and the tag values that require or allow each field it "
                      "governs.")
            self.line(j, f"using UnionTags = {annotations}::UnionTags;")
            for f in governed:
                predicate = ("UnionCaseAnyEnumValue" if f.union_predicate == "required"
                             else "OptUnionCaseAnyEnumValue")
                self.add(L.assign_list(j, f"using {upper(f.wire)}Case",
                                       f"::Tarn::Data::{predicate}<",
                                       [f"{annotations}::{upper(f.wire)}UnionCases"], ">;"))

        self.blank()
        self.line(j, "struct AdapterHelper {")
        k = j + "  "
        sorted_names = sorted(f.wire for f in fields)
        self.add(L.nested_table(k, f"static constexpr ::Tarn::Data::SortedNames<{len(fields)}> "
                                "sortedNames", [quote(n) for n in sorted_names]))
        self.line(k, "template <class Helper>")
        self.line(k, "static void AddFields(Helper& h) {")
        for f in fields:
            args = [quote(f.wire), f"&{name}::{f.member}"]
            if f.union_cases is not None:
                args.append(f"::Tarn::Data::UnionCase<UnionTags, {upper(f.wire)}Case>()")
            self.add(L.call(k + "  ", "h.AddField(", args, ");"))
        self.line(k, "}")
        self.line(j, "};")

        if union:
            tag = next(f for f in fields if f.wire == union.tag)
            self.blank()
            self.line(j, "struct UnionRules {")
            self.line(k, "template <class Checker>")
            self.line(k, "static void Check(Checker& c) {")
            for check in union.checks:
                if check == "missing_tag":
                    self.add(L.call(k + "  ", "c.template MissingTag<UnionTags>(",
                                    [f"&{name}::{tag.member}"], ");"))
                else:
                    f = next(g for g in fields if g.wire == check)
                    self.add(L.call(k + "  ", "c.Case(",
                                    [f"&{name}::{tag.member}", f"&{name}::{f.member}",
                                     quote(f.member), f"{upper(f.wire)}Case()"], ");"))
            self.line(k, "}")
            self.line(j, "};")

        if metadata and metadata[0]:
            self.blank()
            self.line(j, "struct Metadata {")
            self.add(L.assign(k, "static constexpr const char name[]", quote(metadata[0]) + ";"))
            self.add(L.record_table(k, "static constexpr ::Tarn::Metadata::ResourceField fields[]",
                                    [[quote(w), quote(t)] for w, t in metadata[1]]))
            self.line(j, "};")
        self.line(i, "};")

    def struct(self, struct):
        s = self.s
        if struct.union:
            self.annotations("  ", struct)
            self.blank()
        self.record("  ", struct.name, struct.fields, None, union=struct.union,
                    metadata=(struct.metadata_name, struct.metadata_fields), doc=struct.doc,
                    native_name=f"{s.native_prefix}::{struct.name}",
                    type_name=f"{s.id}.{struct.wire}")

    # -- operations ------------------------------------------------------------------------

    def method_class(self, op):
        s = self.s
        m = op.name + "Method"
        self.line("  ", f"struct {m} : ::Tarn::Provider::MethodBase<{m}> {{")
        i = "    "
        if op.input is None:
            self.line(i, "using Input = ::Tarn::OperationInput;")
        else:
            self.record(i, "Input", op.input, None,
                        native_name=f"{s.native_prefix}::{m}::Input",
                        operation_name=f"{s.native_prefix}::{op.name}")
            self.blank()
        self.line(i, "using Interface = AsyncServiceInterface;")
        self.add(L.assign(i, "using Output", value_type(op.output) + ";"))
        self.line(i, "using ResultCbType = ::Tarn::AsyncResult<Output, "
                  "::Tarn::AsyncResultTerminateCbPolicy>;")
        fields = [f"&Input::{f.member}" for f in op.input or []]
        self.add(L.assign_list(i, "using Fields", "::Tarn::Provider::Fields<", fields, ">;")
                 if fields else L.single(i, "using Fields = ::Tarn::Provider::Fields<>;"))
        errors = [STD_ERRORS_NS + e for e in op.errors]
        self.add(L.assign_list(i, "using Errors", "::Tarn::Provider::ErrorList<", errors, ">;")
                 if errors else L.single(i, "using Errors = ::Tarn::Provider::ErrorList<>;"))
        self.add(L.assign(i, "static constexpr const char wireName[]", quote(op.wire) + ";"))
        if op.resource:
            member = next(f.member for f in op.input if f.wire == op.resource)
            self.line(i, f"static constexpr auto resourceField = &Input::{member};")
            self.add(L.assign(i, "static constexpr const char resourceType[]",
                              quote("com.brantel.kov.vm.VirtualMachine") + ";"))
        else:
            self.line(i, "static constexpr std::nullptr_t resourceField = nullptr;")
        self.line("  ", "};")

    def parameters(self, op):
        params = [f"const {member_type(f)}& {f.member}" for f in op.input or []]
        return params + [ACTIVATION, f"const {op.name}Method::ResultCbType& result"]

    def interface(self):
        self.line("  ", "class KOV_EXPORT AsyncServiceInterface {")
        self.line("  ", " public:")
        self.add(L.assign("    ", "static constexpr const char typeName[]", quote(self.s.id) + ";"))
        for op in self.s.operations:
            self.doc("    ", op.doc)
            self.add(L.call("    ", f"virtual void {op.name}(", self.parameters(op), ") = 0;",
                            declaration=True))
        self.line("    ", "virtual ~AsyncServiceInterface();")
        self.line("  ", "};")

    def binder_helper(self):
        self.line("  ", "class KOV_EXPORT AsyncServiceBinderHelper : "
                  "public ::Tarn::Provider::BinderHelperBase {")
        self.line("  ", " public:")
        for op in self.s.operations:
            self.add(L.assign("    ", f"using {op.name}MethodBuilder",
                              f"::Tarn::Provider::MethodBuilder<{op.name}Method, "
                              "AsyncServiceInterface>;"))
        self.add(L.function("    ", f"static {API_INTERFACE}", "Bind", [IMPLEMENTATION, LOCALIZER],
                            ");"))
        self.line("  ", "};")

    def binder(self):
        self.line("  ", "class KOV_EXPORT AsyncServiceBinder {")
        self.line("  ", " public:")
        self.add(L.function("    ", f"static {API_INTERFACE}", "BindImplementation",
                            [IMPLEMENTATION], ");"))
        self.add(L.function("    ", f"static {API_INTERFACE}", "BindImplementation",
                            [IMPLEMENTATION, LOCALIZER], ");"))
        self.line("  ", "};")

    def stub(self):
        self.line("  ", "class KOV_EXPORT AsyncServiceStub : public AsyncServiceInterface {")
        self.line("  ", " public:")
        self.line("    ", "explicit AsyncServiceStub(std::shared_ptr<::Tarn::Stub::AsyncApiStub> "
                  "apiStub)")
        self.line("        ", ": apiStub_(std::move(apiStub)) {}")
        for op in self.s.operations:
            self.add(L.call("    ", f"void {op.name}(", self.parameters(op), ") override;",
                            declaration=True))
        self.blank()
        self.line("  ", " private:")
        self.line("    ", "std::shared_ptr<::Tarn::Stub::AsyncApiStub> apiStub_;")
        self.line("  ", "};")

    # -- files -----------------------------------------------------------------------------

    def header(self):
        s = self.s
        self.line("", marker(s))
        self.line("", "#pragma once")
        self.blank()
        self.line("", '#include "binding/service.h"')
        self.blank()
        self.open_namespaces()
        self.doc("", s.doc)
        self.line("", f"class KOV_EXPORT {s.name} {{")
        self.line("", " public:")
        self.line("  ", "class AsyncServiceInterface;")
        for e in s.enums:
            self.blank()
            self.enum_class("  ", e.name, e.values, f"{s.id}.{e.wire}", e.doc)
        for struct in s.structs:
            self.blank()
            self.struct(struct)
        for op in s.operations:
            self.blank()
            self.method_class(op)
        for part in (self.interface, self.binder_helper, self.binder, self.stub):
            self.blank()
            part()
        self.line("", "};")
        self.close_namespaces()
        return self.text()

    def source(self):
        s = self.s
        self.line("", marker(s))
        self.line("", f'#include "{s.header}"')
        self.blank()
        self.open_namespaces()
        svc = s.name
        self.line("", f"{svc}::AsyncServiceInterface::~AsyncServiceInterface() = default;")
        self.blank()

        self.add(L.function("", API_INTERFACE, f"{svc}::AsyncServiceBinderHelper::Bind",
                            [IMPLEMENTATION, LOCALIZER], ") {"))
        self.line("  ", "using ::Tarn::Provider::MakeSlot;")
        slots = [f"MakeSlot<{op.name}Method>(&AsyncServiceInterface::{op.name})"
                 for op in s.operations]
        self.add(L.call("  ", "return ::Tarn::Provider::BindInterface(",
                        ["implementation", "localizer"] + slots, ");"))
        self.line("", "}")
        self.blank()

        self.add(L.function("", API_INTERFACE, f"{svc}::AsyncServiceBinder::BindImplementation",
                            [IMPLEMENTATION], ") {"))
        self.add(L.call("  ", "return AsyncServiceBinderHelper::Bind(",
                        ["implementation", "std::make_shared<::Tarn::L10n::Localizer>()"], ");"))
        self.line("", "}")
        self.blank()
        self.add(L.function("", API_INTERFACE, f"{svc}::AsyncServiceBinder::BindImplementation",
                            [IMPLEMENTATION, LOCALIZER], ") {"))
        self.line("  ", "return AsyncServiceBinderHelper::Bind(implementation, localizer);")
        self.line("", "}")

        for op in s.operations:
            self.blank()
            self.add(L.function("", "void", f"{svc}::AsyncServiceStub::{op.name}",
                                self.parameters(op), ") {"))
            args = ["apiStub_", "activation", "result"] + [f.member for f in op.input or []]
            self.add(L.call("  ", f"::Tarn::Stub::Call<{op.name}Method>(", args, ");"))
            self.line("", "}")
        self.close_namespaces()
        return self.text()


def generate(service):
    """The generated files of a service: {path: text}."""
    return {
        service.header: Emitter(service).header(),
        service.source: Emitter(service).source(),
    }
