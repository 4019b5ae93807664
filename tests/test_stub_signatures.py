"""The committed stubs say what the extension modules declare (help() shows the same).

mypy's stubtest cannot read a nanobind function's signature, so its parameters,
defaults and annotations are compared here with the signature each operation carries.
"""

import ast
import copy
import dataclasses
import importlib
import pathlib

import pytest

import Callfold
import Callfold.unifier as unifier

MODULES = ["unifier", "compression", "repeats"]
PATH = "str | os.PathLike[str]"

# Where a stub is more precise than the module's own declaration: (module, function,
# parameter) -> the stub's annotation; the module leaves that parameter unannotated.
STUB_ONLY_ANNOTATIONS = {
    ("unifier", "_write_vcf_content", "output_h"): "SupportsWrite[str]",
}


def stub_tree(name):
    return ast.parse(pathlib.Path(Callfold.__file__).with_name(name + ".pyi").read_text())


def type_var_bounds(tree):
    """Each TypeVar of the stub with its bound: a bound TypeVar stands for its bound."""
    bounds = {}
    for node in tree.body:
        if isinstance(node, ast.Assign) and isinstance(node.value, ast.Call):
            if ast.unparse(node.value.func) == "TypeVar":
                bound = next(k.value for k in node.value.keywords if k.arg == "bound")
                bounds[node.targets[0].id] = bound
    return bounds


class _Substitute(ast.NodeTransformer):
    def __init__(self, bounds):
        self.bounds = bounds

    def visit_Name(self, node):
        return self.bounds.get(node.id, node)


def parameters(function, bounds=None):
    """(kind, name, annotation, default) of each parameter, then the result annotation."""

    def text(node):
        if node is None:
            return None
        return ast.unparse(_Substitute(bounds or {}).visit(copy.deepcopy(node)))

    args = function.args
    positional = args.posonlyargs + args.args
    defaults = [None] * (len(positional) - len(args.defaults)) + args.defaults
    result = [("positional", a.arg, text(a.annotation), text(d)) for a, d in zip(positional, defaults)]
    if args.vararg:
        result.append(("*", args.vararg.arg, text(args.vararg.annotation), None))
    result += [("keyword", a.arg, text(a.annotation), text(d)) for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    if args.kwarg:
        result.append(("**", args.kwarg.arg, text(args.kwarg.annotation), None))
    return result, text(function.returns)


def declared(runtime):
    """The function node of the one signature that nanobind holds for `runtime`."""
    signatures = runtime.__nb_signature__
    assert len(signatures) == 1, "an overloaded operation needs @overload in its stub"
    text = signatures[0][0]
    if text.startswith("def ("):  # a property's getter is declared without a name
        text = "def _" + text[4:]
    return ast.parse(text + ": ...").body[0]


def stub_functions():
    """(module, qualified name, stub node, bounds) of every function of the stubs that the
    module defines with nanobind, methods of its classes included."""
    found = []
    for module_name in MODULES:
        tree = stub_tree(module_name)
        bounds = type_var_bounds(tree)
        for node in tree.body:
            if isinstance(node, ast.FunctionDef):
                found.append(pytest.param(module_name, node.name, node, bounds, id=f"{module_name}.{node.name}"))
            elif isinstance(node, ast.ClassDef):
                for item in node.body:
                    if isinstance(item, ast.FunctionDef) and not item.decorator_list:
                        name = f"{node.name}.{item.name}"
                        found.append(pytest.param(module_name, name, item, bounds, id=f"{module_name}.{name}"))
    return found


def runtime_object(module_name, qualified_name):
    target = importlib.import_module("Callfold." + module_name)
    for part in qualified_name.split("."):
        target = getattr(target, part)
    return target


@pytest.mark.parametrize("module_name, qualified_name, node, bounds", stub_functions())
def test_stub_function_matches_declared_signature(module_name, qualified_name, node, bounds):
    runtime = runtime_object(module_name, qualified_name)
    stub_parameters, stub_result = parameters(node, bounds)
    runtime_parameters, runtime_result = parameters(declared(runtime))
    function_name = qualified_name.rsplit(".", 1)[-1]
    for index, (kind, name, annotation, default) in enumerate(runtime_parameters):
        stub_only = STUB_ONLY_ANNOTATIONS.get((module_name, function_name, name))
        if stub_only is not None and annotation is None:
            runtime_parameters[index] = (kind, name, stub_only, default)
    assert stub_parameters == runtime_parameters
    assert stub_result == runtime_result


def test_stub_properties_match_declared_getters():
    checked = []
    for module_name in MODULES:
        for cls in (n for n in stub_tree(module_name).body if isinstance(n, ast.ClassDef)):
            for item in cls.body:
                if isinstance(item, ast.FunctionDef) and [ast.unparse(d) for d in item.decorator_list] == ["property"]:
                    getter = getattr(runtime_object(module_name, cls.name), item.name).fget
                    assert parameters(item)[1] == parameters(declared(getter))[1], f"{cls.name}.{item.name}"
                    checked.append(item.name)
    assert checked  # _VcfTextStream's closed and name


def declared_path_parameters():
    """Each parameter that holds a path (named path or *_path) of every operation."""
    found = []
    for module_name in MODULES:
        module = importlib.import_module("Callfold." + module_name)
        for name, value in vars(module).items():
            if hasattr(value, "__nb_signature__") and value.__module__ == module.__name__:
                for _, parameter, annotation, _ in parameters(declared(value))[0]:
                    if parameter == "path" or parameter.endswith("_path"):
                        found.append(pytest.param(annotation, id=f"{module_name}.{name}.{parameter}"))
    return found


@pytest.mark.parametrize("annotation", declared_path_parameters())
def test_path_parameters_take_str_or_path_like(annotation):
    assert annotation in (PATH, PATH + " | None")


@pytest.mark.parametrize("module_name", MODULES)
def test_every_public_operation_has_a_stub(module_name):
    module = importlib.import_module("Callfold." + module_name)
    tree = stub_tree(module_name)
    stubbed = {node.name for node in tree.body if isinstance(node, ast.FunctionDef)}
    imported = (node for node in tree.body if isinstance(node, ast.ImportFrom))
    stubbed |= {alias.asname or alias.name for node in imported for alias in node.names}
    public = {name for name, value in vars(module).items() if hasattr(value, "__nb_signature__") and name[0] != "_"}
    assert public and public <= stubbed


def test_unify_options_stub_fields_and_defaults():
    stub_class = next(n for n in stub_tree("unifier").body if isinstance(n, ast.ClassDef) and n.name == "UnifyOptions")
    stub_fields = [(n.target.id, ast.literal_eval(n.value)) for n in stub_class.body if isinstance(n, ast.AnnAssign)]
    runtime_fields = [
        (f.name, f.default_factory() if f.default is dataclasses.MISSING else f.default)
        for f in dataclasses.fields(unifier.UnifyOptions)
    ]
    assert stub_fields == runtime_fields
    assert [ast.unparse(d) for d in stub_class.decorator_list] == ["dataclass(frozen=True)"]
    assert unifier.UnifyOptions.__dataclass_params__.frozen
