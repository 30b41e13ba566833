"""Configures a scratch tree with VARQUEL_NO_32BIT=1, without building it, and
checks what the build and ctest make of a machine whose 32-bit side does not
run: every test that runs a program on that side is registered and disabled,
the x86 DLL's static checks are there and enabled, and the x86 tree is still
made, told to build the DLL alone. Then the same tree configured again without
the override follows the machine's own answer: the override is never cached.

usage: without_32bit_side.py SOURCE SCRATCH TOOLCHAIN_FILE
"""
import os
import re
import shutil
import subprocess
import sys

source, scratch, toolchain = sys.argv[1:4]
# Tests that run 32-bit programs, named here and not taken from the build, so
# that a test the build forgot to register is noticed.
KNOWN_RUNTIME = {"x86_dispatch_tests", "x86_profiles_tests", "bitness_side_by_side", "x86_prefix_crash_fails",
                 "x86_scripts_js_client", "x86_scripts_vbs_client", "x86_server_regsvr32"}
STATIC = {"x86_dll_files", "x86_dll_typelib"}
# What a test's command line shows when it runs something on the 32-bit side.
RUNS_32BIT = re.compile(r'"/usr/lib/wine/wine"|-DBITNESS=32|-DDLL32=')

failures = []


def check(ok, text):
    print(("ok    " if ok else "FAIL  ") + text)
    if not ok:
        failures.append(text)


def run(args, env=None, cwd=None):
    result = subprocess.run(args, env=env, cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"{' '.join(args)} failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result.stdout


def configure(no_32bit):
    env = dict(os.environ)
    env.pop("VARQUEL_NO_32BIT", None)
    if no_32bit:
        env["VARQUEL_NO_32BIT"] = "1"
    run(["cmake", "-S", source, "-B", scratch, "-G", "Unix Makefiles", f"-DCMAKE_TOOLCHAIN_FILE={toolchain}",
         "-DCMAKE_BUILD_TYPE=Release"], env=env)


def listed(*labels):
    """{test name: disabled} as `ctest -N` lists them."""
    out = run(["ctest", "-N", *labels], cwd=scratch)
    return {m.group(1): bool(m.group(2)) for m in re.finditer(r"Test +#\d+: (\S+)( \(Disabled\))?", out)}


def commands():
    """{test name: command line} from the tree's ctest files."""
    found = {}
    for folder, _, files in os.walk(scratch):
        if os.path.relpath(folder, scratch).split(os.sep)[0] == "x86":
            continue
        if "CTestTestfile.cmake" in files:
            text = open(os.path.join(folder, "CTestTestfile.cmake"), encoding="utf-8").read()
            for m in re.finditer(r'^add_test\((?:\[=\[(\S+)\]=\]|"?([^\s"]+)"?) (.*)\)$', text, re.M):
                found[m.group(1) or m.group(2)] = m.group(3)
    return found


shutil.rmtree(scratch, ignore_errors=True)
configure(no_32bit=True)
tests = listed()
runtime = listed("-L", "x86_runtime")
check(KNOWN_RUNTIME <= set(runtime), f"the x86 runtime tests are registered: {sorted(runtime)}")
enabled = [name for name, disabled in runtime.items() if not disabled]
check(not enabled, f"every x86 runtime test is (Disabled): {enabled or 'yes'}")
unmarked = [name for name, line in commands().items() if RUNS_32BIT.search(line) and name not in runtime]
check(not unmarked, f"every test that runs a 32-bit program is labelled x86_runtime: {unmarked or 'yes'}")
for name in sorted(STATIC):
    check(tests.get(name) is False, f"{name} is listed and enabled")

targets = run(["cmake", "--build", scratch, "--target", "help"])
check(re.search(r"^\.\.\. varquel_x86$", targets, re.M) is not None, "the x86 tree's target varquel_x86 is there")
steps = open(os.path.join(scratch, "CMakeFiles", "varquel_x86.dir", "build.make"), encoding="utf-8").read()
builds = [line for line in steps.splitlines() if "--build" in line and os.path.join(scratch, "x86") in line]
told = re.findall(r"--target (\S+)", builds[0]) if len(builds) == 1 else None
check(told == ["Varquel"], f"the x86 tree is told to build the DLL alone: {told}")

# Without the override, the same tree follows the machine's answer.
answer = run(["cmake", "-P", os.path.join(source, "cmake", "Wine32Side.cmake")]).strip()
configure(no_32bit=False)
runtime = listed("-L", "x86_runtime")
expected = not answer.startswith("runs")
check(KNOWN_RUNTIME <= set(runtime) and all(d == expected for d in runtime.values()),
      f"reconfigured without the override, the machine decides ({answer}): disabled={expected}")

shutil.rmtree(scratch, ignore_errors=True)
sys.exit(1 if failures else 0)
