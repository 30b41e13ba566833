#!/usr/bin/env python3
"""Writes the dispatch tables of an IDL file's dual interfaces as C++.

    dispatch_tables.py IDL POLICY HEADER OUT_DIR PREFIX

IDL     the interface definitions (the subset this project writes; anything
        else is refused, so the build fails instead of guessing). A dual
        interface derives from IDispatch or from a dual interface defined
        before it, whose members it inherits; the library may hold enums
        (typedef enum), which dispatch does not use.
POLICY  one row per dual interface: how Invoke treats named arguments, and
        whether the name table lists parameter names
HEADER  the header widl made from IDL, included by the generated files
OUT_DIR, PREFIX
        where to write PREFIXTables.cpp (the tables with their compiled member
        thunks), PREFIXTables.h (the TableOf declarations) and PREFIXSurface.h
        (the same interfaces as plain data, for tests)

Exit status 1 with "file:line: error: ..." messages when anything is refused.
"""
import os
import re
import sys

VT_OF_INPUT = {"long": "VT_I4", "BSTR": "VT_BSTR", "VARIANT_BOOL": "VT_BOOL"}
SYMBOLIC_DISPIDS = {"DISPID_VALUE": 0, "DISPID_NEWENUM": -4}
NAMED_RULES = {"by-position": "ByPosition", "ignored": "Ignored", "refused": "Refused"}
PARAMETER_NAMES = {"listed": True, "none": False}
# The members of one interface must have DISPIDs within this many values, so
# that Invoke finds a member by one indexed load.
MAX_DISPID_SPREAD = 1024

ALLOWED_ATTRIBUTES = {
    "interface": {"object", "uuid", "dual", "oleautomation", "helpstring", "pointer_default", "hidden",
                  "nonextensible"},
    "member": {"id", "propget", "propput", "helpstring", "hidden", "restricted"},
    "parameter": {"in", "out", "retval"},
    "library": {"uuid", "version", "lcid", "helpstring"},
    "dispinterface": {"uuid", "helpstring", "hidden"},
    "coclass": {"uuid", "helpstring", "noncreatable"},
    "implemented": {"default", "source"},
    "typedef": {"uuid", "helpstring", "v1_enum"},
}


class Refusal(Exception):
    def __init__(self, where, message):
        super().__init__(f"{where[0]}:{where[1]}: error: {message}")


# ---- Tokens ----

TOKEN = re.compile(r"""
    (?P<space>[ \t\r]+) | (?P<newline>\n)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<uuid>[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12})
  | (?P<number>0[xX][0-9A-Fa-f]+|[0-9]+(?:\.[0-9]+)?)
  | (?P<string>"(?:[^"\\\n]|\\.)*")
  | (?P<ident>[A-Za-z_][A-Za-z0-9_]*)
  | (?P<punct>[\[\](){};,:*=\-])
""", re.VERBOSE | re.DOTALL)


class Token:
    def __init__(self, kind, text, where):
        self.kind, self.text, self.where = kind, text, where


def tokenize(path, text):
    tokens, line, pos = [], 1, 0
    while pos < len(text):
        m = TOKEN.match(text, pos)
        if not m:
            raise Refusal((path, line), f"unexpected character {text[pos]!r}")
        kind = m.lastgroup
        if kind not in ("space", "newline", "comment"):
            tokens.append(Token(kind, m.group(), (path, line)))
        line += m.group().count("\n")
        pos = m.end()
    tokens.append(Token("end", "end of file", (path, line)))
    return tokens


class Parser:
    def __init__(self, tokens):
        self.tokens, self.i = tokens, 0

    def peek(self, offset=0):
        return self.tokens[min(self.i + offset, len(self.tokens) - 1)]

    def next(self):
        token = self.peek()
        self.i += 1
        return token

    def at(self, text):
        return self.peek().text == text

    def expect(self, text):
        token = self.next()
        if token.text != text:
            raise Refusal(token.where, f"expected '{text}', found '{token.text}'")
        return token

    def ident(self, what):
        token = self.next()
        if token.kind != "ident":
            raise Refusal(token.where, f"expected {what}, found '{token.text}'")
        return token

    def attributes(self, context):
        """[name, name(args), ...] -> {name: (args tokens, where)}; names checked against the context."""
        found = {}
        if not self.at("["):
            return found
        self.expect("[")
        while True:
            name = self.ident("an attribute")
            if name.text not in ALLOWED_ATTRIBUTES[context]:
                raise Refusal(name.where, f"attribute '{name.text}' is not understood on a {context}")
            if name.text in found:
                raise Refusal(name.where, f"attribute '{name.text}' given twice")
            args = []
            if self.at("("):
                self.next()
                while not self.at(")"):
                    if self.peek().kind == "end":
                        raise Refusal(name.where, f"unterminated attribute '{name.text}'")
                    args.append(self.next())
                self.next()
            found[name.text] = (args, name.where)
            if self.at("]"):
                self.next()
                return found
            self.expect(",")


# ---- The model ----

class Param:
    def __init__(self, name, type_name, stars, direction, where):
        self.name, self.type_name, self.stars, self.direction, self.where = name, type_name, stars, direction, where
        self.vt = None


class Member:
    def __init__(self, name, dispid, kind, params, where):
        self.name, self.dispid, self.kind, self.params, self.where = name, dispid, kind, params, where

    @property
    def inputs(self):
        return [p for p in self.params if p.direction == "in"]

    @property
    def result(self):
        return self.params[-1] if self.params and self.params[-1].direction == "retval" else None

    @property
    def method_name(self):
        return {"get": "get_", "put": "put_", "method": ""}[self.kind] + self.name


class Interface:
    def __init__(self, name, where, base=None):
        self.name, self.where, self.clsid, self.base = name, where, None, base
        # The inherited members first, in their own order, then its own.
        self.members = list(base.members) if base else []


def dispid_value(args, where):
    text = "".join(t.text for t in args)
    if text in SYMBOLIC_DISPIDS:
        return SYMBOLIC_DISPIDS[text]
    m = re.fullmatch(r"(-?)(0[xX][0-9A-Fa-f]+|[0-9]+)", text)
    if not m:
        raise Refusal(where, f"DISPID '{text}' is not understood")
    value = int(m.group(2), 0) * (-1 if m.group(1) else 1)
    if not -2**31 <= value < 2**31:
        raise Refusal(where, f"DISPID {text} does not fit a DISPID")
    return value


def single_argument(attributes, name, kind):
    args, where = attributes[name]
    if len(args) != 1 or args[0].kind != kind:
        raise Refusal(where, f"attribute '{name}' needs one {kind} argument")


def parse_param(parser):
    attributes = parser.attributes("parameter")
    where = parser.peek().where
    for name in attributes:
        if attributes[name][0]:
            raise Refusal(attributes[name][1], f"attribute '{name}' takes no argument")
    flags = set(attributes)
    if flags == {"in"}:
        direction = "in"
    elif flags == {"out", "retval"}:
        direction = "retval"
    else:
        raise Refusal(where, "a parameter must be [in] or [out, retval]")
    type_name = parser.ident("a parameter type").text
    stars = 0
    while parser.at("*"):
        parser.next()
        stars += 1
    name = parser.ident("a parameter name")
    return Param(name.text, type_name, stars, direction, name.where)


def parse_member(parser):
    attributes = parser.attributes("member")
    start = parser.peek().where
    if "id" not in attributes:
        raise Refusal(start, "a member needs an id(...)")
    dispid = dispid_value(*attributes["id"])
    for name in ("propget", "propput", "hidden", "restricted"):
        if name in attributes and attributes[name][0]:
            raise Refusal(attributes[name][1], f"attribute '{name}' takes no argument")
    if "helpstring" in attributes:
        single_argument(attributes, "helpstring", "string")
    if "propget" in attributes and "propput" in attributes:
        raise Refusal(start, "a member cannot be propget and propput at once")
    kind = "get" if "propget" in attributes else "put" if "propput" in attributes else "method"
    returns = parser.ident("HRESULT")
    if returns.text != "HRESULT":
        raise Refusal(returns.where, f"members return HRESULT, not '{returns.text}'")
    name = parser.ident("a member name")
    parser.expect("(")
    params = []
    if parser.at("void") and parser.peek(1).text == ")":
        parser.next()
    while not parser.at(")"):
        params.append(parse_param(parser))
        if not parser.at(")"):
            parser.expect(",")
    parser.expect(")")
    parser.expect(";")
    return Member(name.text, dispid, kind, params, name.where)


def parse_interface(parser, attributes, interfaces, forward):
    keyword = parser.expect("interface")
    name = parser.ident("an interface name")
    if parser.at(";"):
        parser.next()
        if attributes:
            raise Refusal(keyword.where, "a forward declaration takes no attributes")
        forward.add(name.text)
        return
    if "dual" not in attributes or "object" not in attributes:
        raise Refusal(name.where, f"interface {name.text}: only [object, dual] interfaces are understood")
    if "uuid" not in attributes:
        raise Refusal(name.where, f"interface {name.text} has no uuid")
    single_argument(attributes, "uuid", "uuid")
    if "helpstring" in attributes:
        single_argument(attributes, "helpstring", "string")
    parser.expect(":")
    base = parser.ident("a base interface")
    derived_from = next((i for i in interfaces if i.name == base.text), None)
    if base.text != "IDispatch" and derived_from is None:
        raise Refusal(base.where, f"interface {name.text} must derive from IDispatch or from a dual interface "
                                  "defined before it")
    if any(i.name == name.text for i in interfaces):
        raise Refusal(name.where, f"interface {name.text} defined twice")
    interface = Interface(name.text, name.where, derived_from)
    parser.expect("{")
    while not parser.at("}"):
        interface.members.append(parse_member(parser))
    parser.expect("}")
    parser.expect(";")
    interfaces.append(interface)


def parse_dispinterface(parser, attributes):
    parser.expect("dispinterface")
    name = parser.ident("a dispinterface name")
    if "uuid" not in attributes:
        raise Refusal(name.where, f"dispinterface {name.text} has no uuid")
    parser.expect("{")
    parser.expect("properties")
    parser.expect(":")
    parser.expect("methods")
    parser.expect(":")
    if not parser.at("}"):
        raise Refusal(parser.peek().where, f"dispinterface {name.text}: only empty event interfaces are understood")
    parser.expect("}")
    parser.expect(";")


def parse_typedef(parser):
    """typedef [attributes] enum Name { a = 0, b = 1 } Name; values checked, nothing generated."""
    parser.expect("typedef")
    attributes = parser.attributes("typedef")
    for name in ("uuid", "helpstring"):
        if name in attributes:
            single_argument(attributes, name, "uuid" if name == "uuid" else "string")
    keyword = parser.next()
    if keyword.text != "enum":
        raise Refusal(keyword.where, f"only enums are understood as a typedef, not '{keyword.text}'")
    tag = parser.ident("an enum name")
    parser.expect("{")
    names, values = set(), set()
    while True:
        item = parser.ident("an enum value name")
        parser.expect("=")
        negative = parser.at("-")
        if negative:
            parser.next()
        number = parser.next()
        if number.kind != "number" or "." in number.text:
            raise Refusal(number.where, f"enum {tag.text}: {item.text} needs a whole number")
        value = int(number.text, 0) * (-1 if negative else 1)
        if item.text in names:
            raise Refusal(item.where, f"enum {tag.text}: {item.text} given twice")
        if value in values:
            raise Refusal(item.where, f"enum {tag.text}: the value {value} given twice")
        names.add(item.text)
        values.add(value)
        if parser.at("}"):
            break
        parser.expect(",")
    parser.expect("}")
    alias = parser.ident("the enum's type name")
    if alias.text != tag.text:
        raise Refusal(alias.where, f"enum {tag.text}: its type name must be its own name")
    parser.expect(";")


def parse_coclass(parser, attributes, coclasses):
    parser.expect("coclass")
    name = parser.ident("a coclass name")
    if "uuid" not in attributes:
        raise Refusal(name.where, f"coclass {name.text} has no uuid")
    parser.expect("{")
    default = None
    while not parser.at("}"):
        flags = parser.attributes("implemented")
        kind = parser.next()
        if kind.text not in ("interface", "dispinterface"):
            raise Refusal(kind.where, f"expected 'interface' or 'dispinterface', found '{kind.text}'")
        implemented = parser.ident("an interface name")
        parser.expect(";")
        if kind.text == "interface" and "default" in flags and "source" not in flags:
            default = implemented
    parser.expect("}")
    parser.expect(";")
    if default is None:
        raise Refusal(name.where, f"coclass {name.text} has no default interface")
    coclasses.append((name.text, default, "noncreatable" in attributes))


def parse(path):
    with open(path, encoding="utf-8") as f:
        parser = Parser(tokenize(path, f.read()))
    interfaces, coclasses, forward = [], [], set()
    in_library = False
    while True:
        token = parser.peek()
        if token.kind == "end":
            if in_library:
                raise Refusal(token.where, "library not closed")
            break
        if in_library and token.text == "}":
            parser.next()
            if parser.at(";"):
                parser.next()
            in_library = False
            continue
        if token.text in ("import", "importlib"):
            parser.next()
            if token.text == "importlib":
                parser.expect("(")
            if parser.next().kind != "string":
                raise Refusal(token.where, f"{token.text} needs a file name")
            if token.text == "importlib":
                parser.expect(")")
            parser.expect(";")
            continue
        if token.text == "typedef":
            if not in_library:
                raise Refusal(token.where, "'typedef' belongs inside the library")
            parse_typedef(parser)
            continue
        if token.text != "[" and token.text != "interface":
            raise Refusal(token.where, f"'{token.text}' is not understood here")
        # The attributes belong to the declaration that follows them.
        j = parser.i
        if token.text == "[":
            while parser.tokens[j].text != "]":
                if parser.tokens[j].kind == "end":
                    raise Refusal(token.where, "unterminated attribute list")
                j += 1
            j += 1
        keyword = parser.tokens[j]
        context = {"interface": "interface", "library": "library", "dispinterface": "dispinterface",
                   "coclass": "coclass"}.get(keyword.text)
        if context is None:
            raise Refusal(keyword.where, f"'{keyword.text}' is not understood here")
        if context in ("dispinterface", "coclass") and not in_library:
            raise Refusal(keyword.where, f"a {context} belongs inside the library")
        attributes = parser.attributes(context)
        if context == "interface":
            parse_interface(parser, attributes, interfaces, forward)
        elif context == "library":
            if in_library:
                raise Refusal(keyword.where, "a library inside a library")
            parser.expect("library")
            parser.ident("a library name")
            parser.expect("{")
            in_library = True
        elif context == "dispinterface":
            parse_dispinterface(parser, attributes)
        else:
            parse_coclass(parser, attributes, coclasses)

    duals = {i.name: i for i in interfaces}
    for name in forward:
        if name not in duals:
            raise Refusal((path, 1), f"interface {name} is declared but never defined")
    for coclass, default, noncreatable in coclasses:
        interface = duals.get(default.text)
        if interface is None:
            raise Refusal(default.where, f"coclass {coclass}: {default.text} is not a dual interface of this file")
        if not noncreatable and interface.clsid is None:
            interface.clsid = "CLSID_" + coclass
    for interface in interfaces:
        check_interface(interface, duals)
    return interfaces


def input_vt(param, duals):
    if param.stars == 0 and param.type_name in VT_OF_INPUT:
        return VT_OF_INPUT[param.type_name]
    if param.stars == 1 and param.type_name in duals:
        return "VT_DISPATCH"
    raise Refusal(param.where, f"parameter {param.name}: type '{param.type_name}{' *' * param.stars}' "
                               "is not understood as an [in] parameter")


def result_vt(param, duals):
    if param.stars == 1 and param.type_name in VT_OF_INPUT:
        return VT_OF_INPUT[param.type_name]
    if param.stars == 2 and param.type_name in duals:
        return "VT_DISPATCH"
    if param.stars == 2 and param.type_name == "IUnknown":
        return "VT_UNKNOWN"
    raise Refusal(param.where, f"parameter {param.name}: type '{param.type_name}{' *' * param.stars}' "
                               "is not understood as an [out, retval] parameter")


def check_interface(interface, duals):
    if not interface.members:
        raise Refusal(interface.where, f"interface {interface.name} has no members")
    seen_dispids, seen_names = {}, {}
    previous = None
    for member in interface.members:
        where = member.where
        for p, param in enumerate(member.params):
            if param.direction == "retval" and p != len(member.params) - 1:
                raise Refusal(param.where, f"{member.name}: the [out, retval] parameter must come last")
            param.vt = result_vt(param, duals) if param.direction == "retval" else input_vt(param, duals)
        names = [p.name for p in member.params]
        if len(set(names)) != len(names):
            raise Refusal(where, f"{member.name}: two parameters share a name")
        if member.kind == "get" and (member.inputs or not member.result):
            raise Refusal(where, f"property {member.name}: a getter has only its [out, retval] parameter")
        if member.kind == "put":
            if len(member.params) != 1 or member.result:
                raise Refusal(where, f"property {member.name}: a setter has exactly one [in] parameter")
            if not (previous and previous.kind == "get" and previous.name == member.name):
                raise Refusal(where, f"property {member.name}: a setter must directly follow its getter")
            if previous.dispid != member.dispid:
                raise Refusal(where, f"property {member.name}: the setter's id differs from the getter's")
            if previous.result.vt != member.params[0].vt:
                raise Refusal(where, f"property {member.name}: the setter's type differs from the getter's")
        else:
            if member.dispid in seen_dispids:
                raise Refusal(where, f"{member.name}: id {member.dispid} is also {seen_dispids[member.dispid]}'s")
            if member.name in seen_names:
                raise Refusal(where, f"{member.name}: a second member of this name")
            seen_dispids[member.dispid] = member.name
            seen_names[member.name] = True
        previous = member
    ids = [m.dispid for m in interface.members]
    if max(ids) - min(ids) >= MAX_DISPID_SPREAD:
        raise Refusal(interface.where, f"interface {interface.name}: its DISPIDs spread over more than "
                                       f"{MAX_DISPID_SPREAD} values")


def read_policy(path, interfaces):
    rows = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            text = line.split("#", 1)[0].split()
            if not text:
                continue
            where = (path, number)
            if len(text) != 3:
                raise Refusal(where, "a row is: interface, named-argument rule, parameter names")
            name, named, parameters = text
            if named not in NAMED_RULES:
                raise Refusal(where, f"named-argument rule '{named}' is not one of {', '.join(NAMED_RULES)}")
            if parameters not in PARAMETER_NAMES:
                raise Refusal(where, f"parameter names '{parameters}' is not one of {', '.join(PARAMETER_NAMES)}")
            if name in rows:
                raise Refusal(where, f"a second row for {name}")
            if not any(i.name == name for i in interfaces):
                raise Refusal(where, f"{name} is not a dual interface of the IDL")
            rows[name] = (NAMED_RULES[named], PARAMETER_NAMES[parameters])
    for interface in interfaces:
        if interface.name not in rows:
            raise Refusal(interface.where, f"interface {interface.name} has no row in {path}")
    return rows


# ---- Tables ----

def name_table(interface, with_parameters):
    """Each member in order: a property its name, its new parameter names,
    get_ and put_ forms; a method its new parameter names, then its name.
    Parameters map to their positions; setter parameters are unnamed."""
    table = []
    known = set()

    def add(name, dispid):
        table.append((name, dispid))
        known.add(name)

    def add_parameters(member):
        if not with_parameters:
            return
        for position, param in enumerate(member.params):
            if param.name not in known:
                add(param.name, position)

    members = interface.members
    for i, member in enumerate(members):
        if member.kind == "get":
            add(member.name, member.dispid)
            add_parameters(member)
            add("get_" + member.name, member.dispid)
            if i + 1 < len(members) and members[i + 1].kind == "put":
                add("put_" + member.name, member.dispid)
        elif member.kind == "method":
            add_parameters(member)
            add(member.name, member.dispid)
    return table


def most_parameters(interface):
    return max(len(m.params) for m in interface.members)


BANNER = "// Generated by cmake/dispatch_tables.py from {idl} and {policy}: do not edit.\n"
KIND = {"get": "kGet", "put": "kPut", "method": "kMethod"}
SURFACE_KIND = {"get": "Kind::PropertyGet", "put": "Kind::PropertyPut", "method": "Kind::Method"}


def write_tables(interfaces, policy, banner, prefix):
    out = [banner, f'#include "{prefix}Tables.h"\n#include "com/DispatchMember.h"\n\n',
           "namespace Varquel::Dispatch {\nnamespace {\n\n",
           "constexpr MemberKind kMethod = MemberKind::Method;\n",
           "constexpr MemberKind kGet = MemberKind::PropertyGet;\n",
           "constexpr MemberKind kPut = MemberKind::PropertyPut;\n"]
    for interface in interfaces:
        named, with_parameters = policy[interface.name]
        n = interface.name
        ids = [m.dispid for m in interface.members]
        out.append(f"\n// ---- {n} ----\nconstexpr NameEntry k{n}Names[] = {{\n")
        out += [f'    {{L"{name}", {dispid}}},\n' for name, dispid in name_table(interface, with_parameters)]
        out.append(f"}};\nconstexpr MemberEntry k{n}Members[] = {{\n")
        out += [f"    MemberOf<&{n}::{m.method_name}>({m.dispid}, {KIND[m.kind]}),\n" for m in interface.members]
        out.append("};\n")
        for i, m in enumerate(interface.members):
            inputs = ", ".join(p.vt for p in m.inputs)
            result = m.result.vt if m.result else "VT_EMPTY"
            out.append(f'static_assert(HasShape(k{n}Members[{i}], {{{inputs}}}, {result}), "{n}::{m.method_name}");\n')
        out.append(f"constexpr auto k{n}Index = IndexByDispid<{min(ids)}, {max(ids)}>(k{n}Members);\n")
        out.append(f"constexpr InterfaceTable k{n}Table = MakeTable(k{n}Names, k{n}Members, k{n}Index, {min(ids)}, "
                   f"{most_parameters(interface)}, NamedArgs::{named});\n")
    out.append("\n} // namespace\n\n")
    out += [f"constinit const InterfaceTable {i.name}Table = k{i.name}Table;\n" for i in interfaces]
    out.append("\n} // namespace Varquel::Dispatch\n")
    return "".join(out)


def write_declarations(interfaces, banner, header):
    out = [banner, "// The dispatch table of each dual interface, defined with the tables; inline,\n"
           "// so that a call reaches its table without a call of its own.\n",
           f'#pragma once\n#include "{header}"\n\n', "namespace Varquel::Dispatch {\n\n",
           "struct InterfaceTable;\ntemplate <class Itf> const InterfaceTable& TableOf() noexcept;\n"]
    for i in interfaces:
        out.append(f"extern const InterfaceTable {i.name}Table;\n")
        out.append(f"template <> inline const InterfaceTable& TableOf<{i.name}>() noexcept {{ return {i.name}Table; }}\n")
    out.append("\n} // namespace Varquel::Dispatch\n")
    return "".join(out)


def write_surface(interfaces, policy, banner, header, prefix):
    out = [banner,
           "// The dual interfaces as plain data: members, DISPIDs, argument and\n"
           "// result types, limits and named-argument rules, for tests that model the\n"
           "// late-bound surface without the dispatch engine's own types.\n",
           f'#pragma once\n#include <windows.h>\n#include <oaidl.h>\n#include <span>\n#include "{header}"\n\n',
           f"namespace Varquel::{prefix}Surface {{\n\n",
           "enum class Kind : unsigned char { Method, PropertyGet, PropertyPut };\n",
           "enum class NamedArgs : unsigned char { ByPosition, Ignored, Refused };\n\n",
           "struct Member {\n"
           "    const wchar_t* name;             // a property's name, without get_ or put_\n"
           "    DISPID id;\n    Kind kind;\n"
           "    std::span<const VARTYPE> inputs; // parameters that take an argument, in order\n"
           "    VARTYPE result;                  // VT_EMPTY: no [out, retval] parameter\n"
           "    std::span<const IID* const> inputInterfaces; // per input: the interface a VT_DISPATCH one is asked for\n"
           "};\n\n",
           "struct Interface {\n    const wchar_t* name;\n    const IID* iid;\n"
           "    const CLSID* clsid;              // the creatable class it is the default interface of, or null\n"
           "    UINT maxArgs;                    // most parameters of any member, [out, retval] counted\n"
           "    NamedArgs namedArgs;\n    bool parameterNames;             // whether its name table lists them\n"
           "    std::span<const Member> members;\n};\n"]
    for interface in interfaces:
        n = interface.name
        out.append(f"\n// ---- {n} ----\n")
        for i, m in enumerate(interface.members):
            if m.inputs:
                out.append(f"inline constexpr VARTYPE k{n}Inputs{i}[] = {{{', '.join(p.vt for p in m.inputs)}}};\n")
                iids = ", ".join(f"&IID_{p.type_name}" if p.vt == "VT_DISPATCH" else "nullptr" for p in m.inputs)
                out.append(f"inline constexpr const IID* k{n}InputInterfaces{i}[] = {{{iids}}};\n")
        out.append(f"inline constexpr Member k{n}Members[] = {{\n")
        for i, m in enumerate(interface.members):
            inputs = f"k{n}Inputs{i}" if m.inputs else "{}"
            interfaces_of = f"k{n}InputInterfaces{i}" if m.inputs else "{}"
            result = m.result.vt if m.result else "VT_EMPTY"
            out.append(f'    {{L"{m.name}", {m.dispid}, {SURFACE_KIND[m.kind]}, {inputs}, {result}, {interfaces_of}}},\n')
        out.append("};\n")
    out.append("\ninline constexpr Interface kInterfaces[] = {\n")
    for interface in interfaces:
        named, with_parameters = policy[interface.name]
        clsid = f"&{interface.clsid}" if interface.clsid else "nullptr"
        out.append(f'    {{L"{interface.name}", &IID_{interface.name}, {clsid}, {most_parameters(interface)}, '
                   f'NamedArgs::{named}, {"true" if with_parameters else "false"}, k{interface.name}Members}},\n')
    out.append(f"}};\n\n}} // namespace Varquel::{prefix}Surface\n")
    return "".join(out)


def main(argv):
    if len(argv) != 6:
        sys.stderr.write(__doc__)
        return 2
    idl, policy_path, header, out_dir, prefix = argv[1:]
    try:
        interfaces = parse(idl)
        policy = read_policy(policy_path, interfaces)
    except Refusal as refusal:
        sys.stderr.write(f"{refusal}\n")
        return 1
    except OSError as error:
        sys.stderr.write(f"error: {error}\n")
        return 1
    banner = BANNER.format(idl=os.path.basename(idl), policy=os.path.basename(policy_path))
    files = {
        f"{prefix}Tables.cpp": write_tables(interfaces, policy, banner, prefix),
        f"{prefix}Tables.h": write_declarations(interfaces, banner, header),
        f"{prefix}Surface.h": write_surface(interfaces, policy, banner, header, prefix),
    }
    os.makedirs(out_dir, exist_ok=True)
    for name, text in files.items():
        path = os.path.join(out_dir, name)
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            f.write(text)
        os.replace(path + ".tmp", path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
