#!/usr/bin/env python3
"""The dispatch table generator refuses, failing the build, what it does not
understand, and writes nothing then.  Usage: GeneratorTests.py GENERATOR"""
import os
import subprocess
import sys
import tempfile
import unittest

GENERATOR = None

IDL = """import "oaidl.idl";
[object, uuid(11111111-2222-3333-4444-555555555555), dual, oleautomation]
interface IThing : IDispatch
{
  [propget, id(1)] HRESULT Size([out, retval] long *pVal);
  [propput, id(1)] HRESULT Size([in] long newVal);
  [id(2)] HRESULT Find([in] BSTR Name, [out, retval] IThing **ppThing);
};
[uuid(11111111-2222-3333-4444-555555555556)]
library Things
{
  [uuid(11111111-2222-3333-4444-555555555557)]
  coclass CThing { [default] interface IThing; };
};
"""
POLICY = "IThing by-position listed\n"

# (what, text replaced, replacement, file it is in, words the message must hold)
REFUSALS = [
    ("an unknown member attribute", "[id(2)]", "[id(2), vararg]", "idl", "'vararg' is not understood"),
    ("a by-reference setter", "propput, id(1)", "propputref, id(1)", "idl", "'propputref' is not understood"),
    ("a type without a variant mapping", "[in] BSTR Name", "[in] double Name", "idl", "'double'"),
    ("an IUnknown argument", "[in] BSTR Name", "[in] IUnknown *Name", "idl", "[in] parameter"),
    ("an [out] parameter that is no result", "[in] BSTR Name", "[out] BSTR *Name", "idl", "[out, retval]"),
    ("a result before an argument", "[in] BSTR Name, [out, retval] IThing **ppThing",
     "[out, retval] IThing **ppThing, [in] BSTR Name", "idl", "must come last"),
    ("a setter without its getter", "[propget, id(1)] HRESULT Size([out, retval] long *pVal);", "", "idl",
     "directly follow its getter"),
    ("a setter of another type", "[in] long newVal", "[in] BSTR newVal", "idl", "type differs"),
    ("two members with one DISPID", "[id(2)]", "[id(1)]", "idl", "id 1"),
    ("a DISPID it has no value for", "[id(2)]", "[id(DISPID_EVALUATE)]", "idl", "DISPID_EVALUATE"),
    ("DISPIDs spread too far apart", "[id(2)]", "[id(100000)]", "idl", "spread"),
    ("an interface that is not dual", "dual, oleautomation", "oleautomation", "idl", "[object, dual]"),
    ("a construct outside the subset", "import \"oaidl.idl\";", "import \"oaidl.idl\";\ntypedef long Size;",
     "idl", "'typedef'"),
    ("an event interface with members", "library Things\n{\n",
     "library Things\n{\n  [uuid(11111111-2222-3333-4444-555555555558)]\n"
     "  dispinterface _IThingEvents { properties: methods: [id(1)] void Changed(); };\n", "idl",
     "only empty event interfaces"),
    ("an interface without a policy row", POLICY, "", "policy", "IThing has no row"),
    ("a policy row for no interface", POLICY, POLICY + "IOther ignored listed\n", "policy", "IOther"),
    ("a policy row with an unknown rule", "by-position", "by-name", "policy", "'by-name'"),
    ("a policy row with an unknown name choice", "listed", "some", "policy", "'some'"),
    ("a base that is not a dual interface of the file", "IThing : IDispatch", "IThing : IUnknown", "idl",
     "derive from IDispatch or from a dual interface defined before it"),
    ("a typedef outside the library", "import \"oaidl.idl\";",
     "import \"oaidl.idl\";\ntypedef enum Kind { kA = 0 } Kind;", "idl", "belongs inside the library"),
    ("a typedef that is not an enum", "library Things\n{\n", "library Things\n{\n  typedef long Size;\n", "idl",
     "only enums"),
    ("an enum value given twice", "library Things\n{\n",
     "library Things\n{\n  typedef enum Kind { kA = 0, kB = 0 } Kind;\n", "idl", "the value 0 given twice"),
]

# A dual interface derived from another, and an enum in the library.
DERIVED_IDL = IDL.replace("[uuid(11111111-2222-3333-4444-555555555556)]", """[object, uuid(11111111-2222-3333-4444-555555555559), dual, oleautomation]
interface IThing2 : IThing
{
  [propget, id(3)] HRESULT Ready([out, retval] VARIANT_BOOL *pVal);
};
[uuid(11111111-2222-3333-4444-555555555556)]""").replace(
    "coclass CThing { [default] interface IThing; };",
    "coclass CThing { [default] interface IThing2; interface IThing; };\n"
    "  typedef [uuid(11111111-2222-3333-4444-55555555555a), helpstring(\"Kinds\")] enum Kind { kA = 0, kB = -1 } Kind;")
DERIVED_POLICY = POLICY + "IThing2 by-position listed\n"


def run(directory, idl, policy):
    with open(os.path.join(directory, "Things.idl"), "w") as f:
        f.write(idl)
    with open(os.path.join(directory, "Policy.txt"), "w") as f:
        f.write(policy)
    out = os.path.join(directory, "out")
    result = subprocess.run([sys.executable, GENERATOR, os.path.join(directory, "Things.idl"),
                             os.path.join(directory, "Policy.txt"), "Things_h.h", out, "Things"],
                            capture_output=True, text=True)
    written = sorted(os.listdir(out)) if os.path.isdir(out) else []
    return result, written


class Generator(unittest.TestCase):
    def test_accepts_the_subset_and_writes_three_files(self):
        with tempfile.TemporaryDirectory() as directory:
            result, written = run(directory, IDL, POLICY)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(written, ["ThingsSurface.h", "ThingsTables.cpp", "ThingsTables.h"])
            with open(os.path.join(directory, "out", "ThingsTables.cpp")) as f:
                tables = f.read()
            # The documented order: property name, its new parameters, get_, put_;
            # a method's new parameters, then its name.
            order = ['{L"Size", 1}', '{L"pVal", 0}', '{L"get_Size", 1}', '{L"put_Size", 1}', '{L"Name", 0}',
                     '{L"ppThing", 1}', '{L"Find", 2}']
            positions = [tables.find(entry) for entry in order]
            self.assertNotIn(-1, positions, tables)
            self.assertEqual(positions, sorted(positions))
            self.assertNotIn('L"newVal"', tables)

    def test_a_derived_interface_inherits_its_base_members(self):
        with tempfile.TemporaryDirectory() as directory:
            result, written = run(directory, DERIVED_IDL, DERIVED_POLICY)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(os.path.join(directory, "out", "ThingsTables.cpp")) as f:
                tables = f.read()
            derived = tables[tables.index("// ---- IThing2 ----"):]
            # The base's members first, through the derived interface, then its own.
            order = ["MemberOf<&IThing2::get_Size>(1, kGet)", "MemberOf<&IThing2::put_Size>(1, kPut)",
                     "MemberOf<&IThing2::Find>(2, kMethod)", "MemberOf<&IThing2::get_Ready>(3, kGet)",
                     '{L"Ready", 3}', '{L"get_Ready", 3}']
            positions = [derived.find(entry) for entry in order[:4]]
            self.assertNotIn(-1, positions, derived)
            self.assertEqual(positions, sorted(positions))
            for entry in order[4:]:
                self.assertIn(entry, derived)
            # A member of its own may not take a DISPID or a name of the base's.
            for old, new, words in [("id(3)] HRESULT Ready", "id(2)] HRESULT Ready", "id 2"),
                                    ("HRESULT Ready(", "HRESULT Find(", "a second member of this name")]:
                clash = DERIVED_IDL.replace(old, new)
                result, written = run(directory, clash, DERIVED_POLICY)
                self.assertEqual(result.returncode, 1, new)
                self.assertIn(words, result.stderr)

    def test_refuses_what_it_does_not_understand(self):
        for what, old, new, where, words in REFUSALS:
            with self.subTest(what), tempfile.TemporaryDirectory() as directory:
                idl, policy = IDL, POLICY
                if where == "idl":
                    self.assertIn(old, idl)
                    idl = idl.replace(old, new, 1)
                else:
                    self.assertIn(old, policy)
                    policy = policy.replace(old, new, 1)
                result, written = run(directory, idl, policy)
                self.assertEqual(result.returncode, 1, what)
                self.assertIn(words, result.stderr)
                self.assertRegex(result.stderr, r"(Things\.idl|Policy\.txt):\d+: error: ")
                self.assertEqual(written, [], "nothing is written when anything is refused")


if __name__ == "__main__":
    GENERATOR = sys.argv.pop(1)
    unittest.main()
